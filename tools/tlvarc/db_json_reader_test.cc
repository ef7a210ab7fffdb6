// databases.json read as a stream: the events come in file order, one
// record at a time, and a file laid out otherwise is refused with its reason.
#include <gmock/gmock.h>

#include <sstream>

#include "db_json_reader.h"

namespace tlvarc {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Recorded {
  std::vector<std::string> events;
  Status stop_at_record;  // what the record callback answers
};

Status Read(const std::string& text, Recorded* r) {
  std::istringstream in(text);
  DatabaseJsonEvents events;
  events.folder = [r](const nlohmann::json& j) { return r->events.push_back("folder " + j.dump()), Status(); };
  events.database = [r](const nlohmann::json& j) { return r->events.push_back("database " + j.dump()), Status(); };
  events.record = [r](const nlohmann::json& j) { return r->events.push_back("record " + j.dump()), r->stop_at_record; };
  events.database_end = [r]() { return r->events.push_back("end"), Status(); };
  return ReadDatabaseJson(in, "db.json", events);
}

TEST(DatabaseJsonReader, GivesFolderDatabasesAndRecordsInFileOrder) {
  Recorded r;
  Status s = Read(R"({"name":"DATABASE","units":[68],"databases":[
      {"name":"A","type":5,"sortOrders":[{"propid":65539,"flags":0}],"records":[
        {"properties":[{"id":1,"type":"I4","value":-3}],"size":16},
        {"properties":[{"id":2,"type":"LPWSTR","value":"x \"y\""}],"nested":{"deep":[1,[2,{}]]}}]},
      {"name":"B","records":[]},
      {"name":"C"}]})",
                  &r);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_THAT(r.events,
              ElementsAre(R"(folder {"name":"DATABASE","units":[68]})",
                          R"(database {"name":"A","sortOrders":[{"flags":0,"propid":65539}],"type":5})",
                          R"(record {"properties":[{"id":1,"type":"I4","value":-3}],"size":16})",
                          R"(record {"nested":{"deep":[1,[2,{}]]},"properties":[{"id":2,"type":"LPWSTR","value":"x \"y\""}]})",
                          "end", R"(database {"name":"B"})", "end", R"(database {"name":"C"})", "end"));
}

TEST(DatabaseJsonReader, AFolderWithoutDatabasesIsStillAnnounced) {
  Recorded r;
  ASSERT_TRUE(Read(R"({"name":"DATABASE"})", &r).ok());
  EXPECT_THAT(r.events, ElementsAre(R"(folder {"name":"DATABASE"})"));
  r.events.clear();
  ASSERT_TRUE(Read(R"({"name":"DATABASE","databases":[]})", &r).ok());
  EXPECT_THAT(r.events, ElementsAre(R"(folder {"name":"DATABASE"})"));
}

TEST(DatabaseJsonReader, RefusesFieldsThatComeTooLate) {
  Recorded r;
  Status s = Read(R"({"databases":[],"name":"DATABASE"})", &r);
  EXPECT_FALSE(s.ok());
  EXPECT_THAT(s.message(), HasSubstr("db.json names the folder after its \"databases\""));
  s = Read(R"({"name":"D","databases":[{"name":"A","records":[],"type":3}]})", &r);
  EXPECT_FALSE(s.ok());
  EXPECT_THAT(s.message(), HasSubstr("has a database field after its \"records\""));
  s = Read(R"({"name":"D","databases":[],"databases":[]})", &r);
  EXPECT_THAT(s.message(), HasSubstr("two \"databases\" lists"));
}

TEST(DatabaseJsonReader, RefusesWhatIsNotJsonOrNotLaidOutSo) {
  Recorded r;
  Status s = Read(R"({"name":"D","databases":[{"name":"A","records":[{"properties":[}]}]})", &r);
  EXPECT_EQ(s.outcome(), Outcome::kUsage);
  EXPECT_THAT(s.message(), HasSubstr("db.json is not valid JSON at byte"));
  for (const char* text : {"[]", "3", R"({"name":"D","databases":{}})", R"({"name":"D","databases":[3]})",
                           R"({"name":"D","databases":[[]]})", "", R"({"name":"D"} {})"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(Read(text, &r).ok());
  }
}

TEST(DatabaseJsonReader, StopsAtTheFirstRecordACallbackRefuses) {
  Recorded r;
  r.stop_at_record = Status::Usage("record 1 is bad");
  Status s = Read(R"({"name":"D","databases":[{"name":"A","records":[{"a":1},{"b":2}]}]})", &r);
  EXPECT_EQ(s.message(), "record 1 is bad");
  EXPECT_EQ(r.events.back(), R"(record {"a":1})");
}

}  // namespace
}  // namespace tlvarc
