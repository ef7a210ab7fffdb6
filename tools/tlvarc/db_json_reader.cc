#include "db_json_reader.h"

#include <vector>

namespace tlvarc {
namespace {

using nlohmann::json;

// Builds one JSON value from parser events: a folder or database field, or
// a whole record.
class ValueCapture {
 public:
  bool active() const { return active_; }
  void Begin() {
    active_ = true;
    root_ = json();
    stack_.clear();
  }
  // Each returns true once the value is complete.
  bool Scalar(json v) { return Put(std::move(v), false); }
  bool Start(json empty) { return Put(std::move(empty), true); }
  bool End() {
    stack_.pop_back();
    return stack_.empty();
  }
  void Key(const std::string& k) { key_ = k; }
  json Take() {
    active_ = false;
    return std::move(root_);
  }

 private:
  bool Put(json v, bool container) {
    json* slot;
    if (stack_.empty()) {
      root_ = std::move(v);
      slot = &root_;
    } else if (stack_.back()->is_array()) {
      stack_.back()->push_back(std::move(v));
      slot = &stack_.back()->back();
    } else {
      slot = &((*stack_.back())[key_] = std::move(v));
    }
    if (container) stack_.push_back(slot);
    return stack_.empty();
  }

  bool active_ = false;
  json root_;
  std::vector<json*> stack_;  // open containers; a parent is not changed while a child is open
  std::string key_;
};

class StreamingHandler : public nlohmann::json_sax<json> {
 public:
  StreamingHandler(const std::string& where, const DatabaseJsonEvents& events) : where_(where), events_(events) {}

  Status status() const { return status_; }
  bool complete() const { return state_ == kDone; }

  bool null() override { return Scalar(json(nullptr)); }
  bool boolean(bool v) override { return Scalar(json(v)); }
  bool number_integer(number_integer_t v) override { return Scalar(json(v)); }
  bool number_unsigned(number_unsigned_t v) override { return Scalar(json(v)); }
  bool number_float(number_float_t v, const string_t&) override { return Scalar(json(v)); }
  bool string(string_t& v) override { return Scalar(json(v)); }
  bool binary(binary_t&) override { return Fail("holds binary data"); }

  bool start_object(std::size_t) override {
    if (capture_.active()) return capture_.Start(json::object()) ? Captured() : true;
    switch (state_) {
      case kStart: state_ = kTop; return true;
      case kDatabases:
        database_ = json::object();
        announced_ = false;
        state_ = kDatabase;
        return true;
      case kRecords: capture_.Begin(); capture_.Start(json::object()); return true;
      default: return Fail("has an object where none belongs");
    }
  }
  bool end_object() override {
    if (capture_.active()) return capture_.End() ? Captured() : true;
    switch (state_) {
      case kTop:
        state_ = kDone;
        return AnnounceFolder();
      case kDatabase:
        state_ = kDatabases;
        return AnnounceDatabase() && Check(events_.database_end());
      default: return Fail("is not laid out as tlvarc extract writes it");
    }
  }
  bool start_array(std::size_t) override {
    if (capture_.active()) return capture_.Start(json::array()) ? Captured() : true;
    if (state_ == kTopList) return state_ = kDatabases, true;
    if (state_ == kRecordList) return state_ = kRecords, true;
    if (state_ == kRecords) return capture_.Begin(), capture_.Start(json::array()), true;
    return Fail("has a list where none belongs");
  }
  bool end_array() override {
    if (capture_.active()) return capture_.End() ? Captured() : true;
    if (state_ == kDatabases) return state_ = kTop, true;
    if (state_ == kRecords) return state_ = kDatabase, true;
    return Fail("is not laid out as tlvarc extract writes it");
  }
  bool key(string_t& k) override {
    if (capture_.active()) return capture_.Key(k), true;
    if (state_ == kTop) {
      if (k == "databases") return folder_done_ ? Fail("has two \"databases\" lists") : AnnounceFolder() && (state_ = kTopList, true);
      if (folder_done_) return Fail("names the folder after its \"databases\"; the name must come first");
    } else if (state_ == kDatabase) {
      if (k == "records") return AnnounceDatabase() && (state_ = kRecordList, true);
      if (announced_) return Fail("has a database field after its \"records\"; the fields must come first");
    } else {
      return Fail("is not laid out as tlvarc extract writes it");
    }
    field_ = k;
    capture_.Begin();
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) override {
    status_ = Status::Usage(where_ + " is not valid JSON at byte " + std::to_string(position) + ": " + e.what());
    return false;
  }

 private:
  enum State { kStart, kTop, kTopList, kDatabases, kDatabase, kRecordList, kRecords, kDone };

  bool Scalar(json v) {
    if (capture_.active()) return capture_.Scalar(std::move(v)) ? Captured() : true;
    if (state_ == kRecords) return Check(events_.record(v));
    return Fail(state_ == kStart ? "is not a JSON object" : "is not laid out as tlvarc extract writes it");
  }
  // A captured value is complete: a field of the folder or database, or a record.
  bool Captured() {
    json v = capture_.Take();
    if (state_ == kTop) return folder_[field_] = std::move(v), true;
    if (state_ == kDatabase) return database_[field_] = std::move(v), true;
    return Check(events_.record(v));
  }
  bool AnnounceFolder() {
    if (folder_done_) return true;
    folder_done_ = true;
    return Check(events_.folder(folder_));
  }
  bool AnnounceDatabase() {
    if (announced_) return true;
    announced_ = true;
    return Check(events_.database(database_));
  }
  bool Check(Status s) {
    if (s.ok()) return true;
    status_ = s;
    return false;
  }
  bool Fail(const std::string& what) { return Check(Status::Usage(where_ + " " + what)); }

  std::string where_;
  const DatabaseJsonEvents& events_;
  State state_ = kStart;
  ValueCapture capture_;
  std::string field_;
  json folder_ = json::object(), database_ = json::object();
  bool folder_done_ = false, announced_ = false;
  Status status_;
};

}  // namespace

Status ReadDatabaseJson(std::istream& in, const std::string& where, const DatabaseJsonEvents& events) {
  StreamingHandler handler(where, events);
  bool ok = json::sax_parse(in, &handler);
  if (!handler.status().ok()) return handler.status();
  if (!ok || !handler.complete()) return Status::Usage(where + " is not a JSON object");
  return {};
}

}  // namespace tlvarc
