// The object-store databases of the sample device: contacts, appointments
// and the scanner's log, with sort orders and string, blob, integer and time
// properties. Some records leave properties out, as real ones do.
#include <string>

#include "sample_image.h"
#include "sample_random.h"
#include "wstr.h"

namespace cedev {
namespace {

constexpr DWORD kSortDescending = 0x1;       // CEDB_SORT_DESCENDING
constexpr DWORD kSortCaseInsensitive = 0x2;  // CEDB_SORT_CASEINSENSITIVE
constexpr DWORD kSortUnknownFirst = 0x4;     // CEDB_SORT_UNKNOWNFIRST

ImageProp Text(WORD id, std::u16string text) { return {id, PropType::kString, 0, std::move(text), {}}; }
ImageProp Number(WORD id, PropType type, int64_t value) { return {id, type, value, {}, {}}; }
ImageProp Time(WORD id, uint64_t ticks) { return {id, PropType::kFiletime, static_cast<int64_t>(ticks), {}, {}}; }
ImageProp Blob(WORD id, std::vector<uint8_t> bytes) { return {id, PropType::kBlob, 0, {}, std::move(bytes)}; }

std::vector<uint8_t> RandomBytes(SampleRandom& rng, size_t size) {
  std::vector<uint8_t> out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng.Below(256));
  return out;
}

const std::vector<std::u16string> kLastNames = {u"Tanaka", u"Suzuki", u"Sato",  u"Takahashi", u"Ito",   u"Watanabe",
                                                u"Yamamoto", u"Nakamura", u"Kobayashi", u"Kato", u"佐々木", u"山田",
                                                u"Smith", u"Meyer", u"Okada", u"Mori"};
const std::vector<std::u16string> kFirstNames = {u"Hiroshi", u"Yuki",  u"Akira", u"Kenji", u"Naoko", u"Emi",
                                                 u"太郎",    u"花子", u"John",  u"Anna",  u"Satoshi", u"Mika"};
const std::vector<std::u16string> kCompanies = {u"Kita Logistics", u"Minami Foods", u"Velta Service",
                                                u"Higashi Retail", u"Nishi Transport", u""};

ImageDatabase Contacts(SampleRandom& rng) {
  ImageDatabase db{u"Contacts Database", 24,
                   {{1, PropType::kString, kSortCaseInsensitive},
                    {4, PropType::kString, kSortCaseInsensitive | kSortUnknownFirst},
                    {7, PropType::kFiletime, kSortDescending}},
                   {}};
  for (int i = 0; i < 60; ++i) {
    std::u16string last = rng.Pick(kLastNames), first = rng.Pick(kFirstNames);
    std::vector<ImageProp> rec = {Text(1, last + u", " + first), Text(2, last), Text(3, first),
                                  Text(5, u"090-" + FromUtf8(std::to_string(1000 + rng.Below(9000))) + u"-" +
                                              FromUtf8(std::to_string(1000 + rng.Below(9000)))),
                                  Number(8, PropType::kUi4, rng.Below(6)), Number(10, PropType::kI2, -1 + rng.Below(3))};
    const std::u16string& company = rng.Pick(kCompanies);
    if (!company.empty()) rec.push_back(Text(4, company));
    if (rng.Below(3) == 0) rec.push_back(Time(7, kSampleEpochTicks - (7000 + rng.Below(15000)) * kTicksPerDay));
    if (rng.Below(4) == 0) rec.push_back(Blob(9, RandomBytes(rng, 64 + rng.Below(400))));
    if (rng.Below(5) == 0) rec.push_back(Blob(11, {}));  // an empty note
    db.records.push_back(std::move(rec));
  }
  return db;
}

ImageDatabase Appointments(SampleRandom& rng) {
  ImageDatabase db{u"Appointments Database", 25,
                   {{3, PropType::kFiletime, 0}, {1, PropType::kString, kSortCaseInsensitive}},
                   {}};
  const std::vector<std::u16string> subjects = {u"Delivery round", u"Stock count", u"Team meeting", u"Customer visit",
                                                u"Battery check", u"棚卸し", u"Route review"};
  for (int i = 0; i < 40; ++i) {
    uint64_t start = kSampleEpochTicks + (static_cast<int64_t>(rng.Below(120)) - 60) * kTicksPerDay +
                     (8 * 60 + 30 * rng.Below(20)) * kTicksPerMinute;
    std::vector<ImageProp> rec = {Text(1, rng.Pick(subjects)), Time(3, start),
                                  Number(4, PropType::kUi4, 30 * (1 + rng.Below(6))),
                                  Number(5, PropType::kI4, rng.Below(2) ? 15 : -1),
                                  Number(7, PropType::kUi2, rng.Below(4))};
    if (rng.Below(2)) rec.push_back(Text(2, u"Branch " + FromUtf8(std::to_string(1 + rng.Below(12)))));
    if (rng.Below(6) == 0) rec.push_back(Blob(6, RandomBytes(rng, 24)));
    db.records.push_back(std::move(rec));
  }
  return db;
}

ImageDatabase ScanLog(SampleRandom& rng) {
  ImageDatabase db{u"Velta Scan Log", 0x5CA11, {{1, PropType::kFiletime, kSortDescending}}, {}};
  for (int i = 0; i < 30; ++i) {
    std::u16string code = FromUtf8(std::to_string(4901234000000ull + rng.Below(999999)));
    db.records.push_back({Time(1, kSampleEpochTicks - rng.Below(30 * 24 * 60) * kTicksPerMinute), Text(2, code),
                          Number(3, PropType::kUi2, rng.Below(16)), Blob(4, RandomBytes(rng, 8))});
  }
  return db;
}

}  // namespace

void AddSampleDatabases(DeviceImage* image) {
  SampleRandom rng(0x5EEDDA7Aull);
  image->databases.push_back(Contacts(rng));
  image->databases.push_back(Appointments(rng));
  image->databases.push_back(ScanLog(rng));
}

}  // namespace cedev
