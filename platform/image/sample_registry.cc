// The registry of the sample device: the platform key, touch calibration,
// built-in drivers, start-up entries, time zones, file classes, control
// panel settings and the product's own keys, with values of every common
// type, default values, empty data and class names.
#include <string>

#include "sample_image.h"
#include "sample_random.h"
#include "wstr.h"

namespace cedev {
namespace {

std::u16string Num(uint32_t n) { return FromUtf8(std::to_string(n)); }

ImageValue Sz(std::u16string name, std::u16string_view text) { return {std::move(name), RegType::kSz, SzBytes(text)}; }
ImageValue ExpandSz(std::u16string name, std::u16string_view text) {
  return {std::move(name), RegType::kExpandSz, SzBytes(text)};
}
ImageValue Dword(std::u16string name, DWORD value) { return {std::move(name), RegType::kDword, DwordBytes(value)}; }
ImageValue Binary(std::u16string name, std::vector<uint8_t> bytes) {
  return {std::move(name), RegType::kBinary, std::move(bytes)};
}
ImageValue MultiSz(std::u16string name, const std::vector<std::u16string>& items) {
  return {std::move(name), RegType::kMultiSz, MultiSzBytes(items)};
}

class KeyAdder {
 public:
  explicit KeyAdder(DeviceImage* image) : image_(image) {}
  // Adds the key and any missing parents (parents before children).
  // A key added before is returned as it is.
  ImageKey& Key(RegRoot root, std::u16string_view path, std::u16string class_name = {}) {
    if (ImageKey* known = Find(root, path)) return *known;
    size_t cut = path.rfind(u'\\');
    if (cut != std::u16string_view::npos) Key(root, path.substr(0, cut));
    image_->keys.push_back({root, std::u16string(path), std::move(class_name), {}});
    return image_->keys.back();
  }

 private:
  ImageKey* Find(RegRoot root, std::u16string_view path) {
    for (auto& k : image_->keys) {
      if (k.root == root && EqualNoCase(k.path, path)) return &k;
    }
    return nullptr;
  }
  DeviceImage* image_;
};

constexpr RegRoot kHklm = RegRoot::kLocalMachine;
constexpr RegRoot kHkcu = RegRoot::kCurrentUser;
constexpr RegRoot kHkcr = RegRoot::kClassesRoot;

void AddPlatform(KeyAdder& add) {
  add.Key(kHklm, u"Platform").values = {Sz(u"Name", kSamplePlatformName), Sz(u"Type", u"Tovak"),
                                        Dword(u"Revision", 0x0420)};
  add.Key(kHklm, u"Ident").values = {Sz(u"Name", u"HT660_0117"), Sz(u"Desc", u"Handheld Terminal"),
                                     Sz(u"OrigName", u"HT660_0117")};
  // Touch calibration as the touch driver keeps it: five points, "x,y ".
  add.Key(kHklm, u"HARDWARE\\DEVICEMAP\\TOUCH").values = {
      Sz(u"CalibrationData", u"2048,2048 802,3310 812,790 3290,790 3296,3312 "), Sz(u"DriverName", u"touch.dll"),
      Dword(u"MaxCalError", 7)};
  add.Key(kHklm, u"HARDWARE\\DEVICEMAP\\KEYBD").values = {Sz(u"DriverName", u"kbdhal.dll"),
                                                          Dword(u"KeyboardType", 7)};
  add.Key(kHklm, u"HARDWARE\\DEVICEMAP\\DISPLAY").values = {Dword(u"Width", 240), Dword(u"Height", 320),
                                                            Dword(u"Bpp", 16)};
}

void AddDrivers(KeyAdder& add, SampleRandom& rng) {
  const std::vector<std::u16string> drivers = {u"Serial", u"Battery", u"Backlight", u"Audio", u"SDHC", u"USBFn",
                                               u"Keypad", u"Vibrator", u"Bluetooth", u"WLAN", u"Buzzer", u"LED",
                                               u"RTC", u"NLed", u"PowerButton", u"Scanner"};
  uint32_t index = 1;
  for (const auto& name : drivers) {
    ImageKey& key = add.Key(kHklm, u"Drivers\\BuiltIn\\" + name);
    std::u16string prefix = Fold(name.substr(0, 3));
    key.values = {Sz(u"Prefix", prefix), Sz(u"Dll", name + u".dll"), Dword(u"Order", 10 + rng.Below(40)),
                  Dword(u"Index", index++ % 4), Sz(u"FriendlyName", name + u" driver"),
                  MultiSz(u"IClass", {u"{A32942B7-920C-486b-B0E6-92A702A99B35}", u"{" + name + u"}"})};
    if (rng.Below(3) == 0) key.values.push_back(Dword(u"Flags", 8));
    add.Key(kHklm, u"Drivers\\BuiltIn\\" + name + u"\\Config").values = {Binary(u"Defaults", {1, 0, 0, 0, 0x20, 0}),
                                                                        Dword(u"Enabled", 1)};
  }
  add.Key(kHklm, u"Drivers\\Velta\\UTIL\\RESTORE", u"VeltaUtil");
  add.Key(kHklm, u"Drivers\\Velta\\UTIL\\FLSETUP", u"VeltaUtil");
  add.Key(kHklm, u"Drivers\\Velta\\UTIL\\BUZZER").values = {Dword(u"Volume", 2), Dword(u"Tone", 3000)};
  add.Key(kHklm, u"Drivers\\Active");
}

void AddStartup(KeyAdder& add) {
  add.Key(kHklm, u"init").values = {
      Sz(u"Launch10", u"shell.exe"),   Sz(u"Launch20", u"device.exe"), Sz(u"Launch30", u"gwes.exe"),
      Binary(u"Depend30", {0x14, 0x00}), Sz(u"Launch50", u"explorer.exe"), Binary(u"Depend50", {0x14, 0x00, 0x1E, 0x00}),
      Sz(u"Launch60", u"welcome.exe"), Binary(u"Depend60", {0x32, 0x00})};
}

struct ZoneRow {
  const char16_t* key;
  const char16_t* display;
  int32_t bias;
};

void AddTimeZones(KeyAdder& add) {
  const ZoneRow zones[] = {
      {u"Tokyo Standard Time", u"(GMT+09:00) Osaka, Sapporo, Tokyo", -540},
      {u"Korea Standard Time", u"(GMT+09:00) Seoul", -540},
      {u"China Standard Time", u"(GMT+08:00) Beijing, Chongqing, Hong Kong", -480},
      {u"Singapore Standard Time", u"(GMT+08:00) Kuala Lumpur, Singapore", -480},
      {u"India Standard Time", u"(GMT+05:30) Chennai, Kolkata, Mumbai, New Delhi", -330},
      {u"GMT Standard Time", u"(GMT) Dublin, Edinburgh, Lisbon, London", 0},
      {u"W. Europe Standard Time", u"(GMT+01:00) Amsterdam, Berlin, Bern, Rome", -60},
      {u"Eastern Standard Time", u"(GMT-05:00) Eastern Time (US & Canada)", 300},
      {u"Pacific Standard Time", u"(GMT-08:00) Pacific Time (US & Canada)", 480},
      {u"AUS Eastern Standard Time", u"(GMT+10:00) Canberra, Melbourne, Sydney", -600},
  };
  add.Key(kHklm, u"Time Zones").values = {Sz(u"Default", u"Tokyo Standard Time")};
  for (const auto& z : zones) {
    std::vector<uint8_t> tzi(44, 0);
    for (int i = 0; i < 4; ++i) tzi[i] = static_cast<uint8_t>(static_cast<uint32_t>(z.bias) >> (8 * i));
    std::u16string std_name = z.key;
    std::u16string dlt_name = std_name.substr(0, std_name.size() - 13) + u"Daylight Time";
    add.Key(kHklm, std::u16string(u"Time Zones\\") + z.key).values = {
        Sz(u"Display", z.display), Sz(u"Dlt", dlt_name), Sz(u"Std", std_name), Binary(u"TZI", tzi)};
  }
  add.Key(kHklm, u"Time").values = {Sz(u"TimeZoneInformation", u"Tokyo Standard Time"), Dword(u"AutoDST", 0)};
}

void AddClasses(KeyAdder& add) {
  struct Assoc {
    const char16_t* ext;
    const char16_t* cls;
    const char16_t* command;
  };
  const Assoc assocs[] = {
      {u".txt", u"txtfile", u"pword.exe -opendoc %1"},    {u".csv", u"csvfile", u"pword.exe -opendoc %1"},
      {u".log", u"txtfile", u"pword.exe -opendoc %1"},    {u".ini", u"inifile", u"pword.exe -opendoc %1"},
      {u".bmp", u"bmpfile", u"pimg.exe -v %1"},           {u".jpg", u"jpegfile", u"pimg.exe -v %1"},
      {u".gif", u"giffile", u"pimg.exe -v %1"},           {u".png", u"pngfile", u"pimg.exe -v %1"},
      {u".htm", u"htmlfile", u"iexplore.exe %1"},         {u".html", u"htmlfile", u"iexplore.exe %1"},
      {u".xml", u"xmlfile", u"iexplore.exe %1"},          {u".lnk", u"lnkfile", u""},
      {u".exe", u"exefile", u"%1"},                       {u".cab", u"cabfile", u"wceload.exe \"%1\""},
      {u".wav", u"wavfile", u"wmplayer.exe %1"},          {u".mp3", u"mp3file", u"wmplayer.exe %1"},
      {u".dat", u"datfile", u""},                         {u".vol", u"volfile", u""},
      {u".pdf", u"pdffile", u"pdfview.exe %1"},           {u".zip", u"zipfile", u"zipview.exe %1"},
  };
  for (const auto& a : assocs) {
    add.Key(kHkcr, a.ext).values = {Sz(u"", a.cls)};  // the key's default value names the class
    ImageKey& cls = add.Key(kHkcr, a.cls);
    if (cls.values.empty()) cls.values = {Sz(u"", std::u16string(a.cls) + u" document"), Dword(u"EditFlags", 0)};
    if (*a.command) {
      add.Key(kHkcr, std::u16string(a.cls) + u"\\Shell\\Open\\Command").values = {ExpandSz(u"", a.command)};
    }
    add.Key(kHkcr, std::u16string(a.cls) + u"\\DefaultIcon").values = {Sz(u"", u"\\Windows\\shell.exe,-1")};
  }
  // A class whose default value is present but empty, and a marker value without data.
  add.Key(kHkcr, u"Unknown").values = {Sz(u"", u""), {u"NoOpen", RegType::kNone, {}}};
  add.Key(kHkcr, u"CLSID", u"Classes");
  for (int i = 0; i < 12; ++i) {
    std::u16string clsid = u"{0BEEF" + Num(100 + i) + u"-7A2C-4D1E-9B00-00AA00BB00" + Num(10 + i) + u"}";
    add.Key(kHkcr, u"CLSID\\" + clsid).values = {Sz(u"", u"Velta component " + Num(i))};
    add.Key(kHkcr, u"CLSID\\" + clsid + u"\\InProcServer32").values = {
        Sz(u"", u"\\Windows\\vcomp" + Num(i) + u".dll"), Sz(u"ThreadingModel", u"Free")};
  }
}

void AddUserSettings(KeyAdder& add, SampleRandom& rng) {
  add.Key(kHkcu, u"ControlPanel\\Owner").values = {Sz(u"Name", u""), Binary(u"Owner", std::vector<uint8_t>(64, 0)),
                                                   Dword(u"ShowOwner", 0)};
  add.Key(kHkcu, u"ControlPanel\\Backlight").values = {Dword(u"BatteryTimeout", 30), Dword(u"ACTimeout", 60),
                                                       Dword(u"Brightness", 4)};
  add.Key(kHkcu, u"ControlPanel\\Power").values = {Dword(u"BattSuspendTimeout", 180), Dword(u"ACSuspendTimeout", 0)};
  add.Key(kHkcu, u"ControlPanel\\Volume").values = {Dword(u"Volume", 0xAAAAAAAA), Dword(u"Screen", 1),
                                                    Dword(u"Key", 1)};
  add.Key(kHkcu, u"ControlPanel\\Keybd").values = {Dword(u"InitialDelay", 500), Dword(u"RepeatRate", 20)};
  add.Key(kHkcu, u"ControlPanel\\Desktop").values = {Sz(u"Wallpaper", u"\\Windows\\Velta.bmp"), Dword(u"Tile", 0)};
  add.Key(kHkcu, u"Software\\Velta\\Tolvane").values = {Sz(u"Location", u"FlashDisk"), Dword(u"Confirm", 1)};
  add.Key(kHkcu, u"Software\\Velta\\ScanWedge").values = {Dword(u"Enable", 1), Sz(u"Suffix", u"\r"),
                                                          Sz(u"Prefix", u"")};
  // The scanner's symbologies: many small keys with a few values each.
  const std::vector<std::u16string> codes = {u"EAN13", u"EAN8",  u"UPCA",   u"UPCE",     u"Code39", u"Code128",
                                             u"ITF",   u"NW7",   u"QRCode", u"DataMatrix", u"PDF417", u"GS1",
                                             u"Code93", u"MSI",  u"Aztec",  u"MaxiCode"};
  for (const auto& code : codes) {
    add.Key(kHkcu, u"Software\\Velta\\ScanWedge\\Symbology\\" + code, u"Symbology").values = {
        Dword(u"Enable", rng.Below(4) != 0), Dword(u"MinLength", 1 + rng.Below(4)),
        Dword(u"MaxLength", 20 + rng.Below(60)), Dword(u"CheckDigit", rng.Below(2))};
  }
  add.Key(kHkcu, u"Software\\Velta\\Recent").values = {
      MultiSz(u"Files", {u"\\My Documents\\Business\\route1.txt", u"\\My Documents\\Personal\\notes.txt"}),
      MultiSz(u"Empty", {})};
}

void AddSoftware(KeyAdder& add, SampleRandom& rng) {
  add.Key(kHklm, u"SOFTWARE\\Apps\\Velta TolvaneKit 1.09").values = {
      Dword(u"Instl", 1), Sz(u"InstlDir", u"\\Program Files\\TolvaneKit"), Sz(u"CabFile", u"\\Temp\\TolvaneKit_SP1.CAB"),
      Dword(u"InstlDirCnt", 1)};
  add.Key(kHklm, u"SOFTWARE\\Apps\\Velta ScanWedge 2.0").values = {Dword(u"Instl", 1),
                                                                   Sz(u"InstlDir", u"\\Windows")};
  add.Key(kHklm, u"SOFTWARE\\Velta\\Terminal").values = {Sz(u"Model", u"HT-660"), Sz(u"Serial", u"6600117"),
                                                         ExpandSz(u"LogDir", u"%TEMP%\\logs")};
  for (int i = 0; i < 24; ++i) {
    std::vector<uint8_t> blob(8 + rng.Below(24));
    for (auto& b : blob) b = static_cast<uint8_t>(rng.Below(256));
    add.Key(kHklm, u"SOFTWARE\\Velta\\Terminal\\Profiles\\Profile" + Num(i)).values = {
        Sz(u"Title", u"Profile " + Num(i)), Dword(u"Flags", rng.Below(0x100)), Binary(u"Data", blob),
        Binary(u"Reserved", {})};
  }
  add.Key(kHklm, u"System\\StorageManager\\Profiles\\FlashDisk").values = {
      Sz(u"Name", u"FlashDisk"), Sz(u"Folder", u"FlashDisk"), Dword(u"AutoMount", 1)};
  add.Key(kHklm, u"System\\StorageManager\\Profiles\\SDMemory").values = {
      Sz(u"Name", u"SD Memory Card"), Sz(u"Folder", u"Storage Card"), Dword(u"AutoMount", 1)};
  add.Key(kHklm, u"nls").values = {Dword(u"DefaultLCID", 0x0411), Dword(u"SystemLCID", 0x0411)};
  add.Key(kHklm, u"nls\\overrides").values = {Sz(u"SDate", u"/"), Sz(u"STime", u":")};
  add.Key(kHklm, u"Comm\\Tcpip\\Parms").values = {Dword(u"DhcpEnable", 1), MultiSz(u"DNS", {u"192.168.1.1"})};
  add.Key(kHklm, u"Comm\\Redir").values = {Sz(u"DefaultUserName", u"handheld"), Dword(u"NoDirCache", 0)};
  add.Key(RegRoot::kUsers, u"Default\\Environment").values = {ExpandSz(u"TEMP", u"\\Temp")};
}

}  // namespace

void AddSampleRegistry(DeviceImage* image) {
  KeyAdder add(image);
  SampleRandom rng(0x5EED4E6157ull);
  AddPlatform(add);
  AddDrivers(add, rng);
  AddStartup(add);
  AddTimeZones(add);
  AddClasses(add);
  AddUserSettings(add, rng);
  AddSoftware(add, rng);
}

}  // namespace cedev
