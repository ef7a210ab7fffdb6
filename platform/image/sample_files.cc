// The file system of the sample device: ROM programs and libraries in
// \Windows, RAM files around them, the user's documents, the system files a
// backup leaves out, the Startup folder, the storage volumes and the two
// mounted folders.
#include <string>

#include "sample_image.h"
#include "sample_random.h"
#include "wstr.h"

namespace cedev {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Utf16File(std::u16string_view text) {
  std::vector<uint8_t> out = {0xFF, 0xFE};  // byte-order mark, as CE's editors write it
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

// A device executable: names the host program that CreateProcessW starts.
std::vector<uint8_t> ProgramStub(std::string_view program) {
  return Bytes("#!cedev-program " + std::string(program) + "\n");
}

// A CE shortcut: the length of the quoted target, '#', the quoted target.
std::vector<uint8_t> Shortcut(std::string_view target) {
  std::string quoted = "\"" + std::string(target) + "\"";
  return Bytes(std::to_string(quoted.size()) + "#" + quoted);
}

// Module-like binary data: a header, then code-like bytes with the runs of
// zeros that real images have (the archive's run-length coding meets both).
std::vector<uint8_t> ModuleBlob(SampleRandom& rng, size_t size) {
  std::vector<uint8_t> out = {'M', 'Z', 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00};
  while (out.size() < size) {
    if (rng.Below(8) == 0) {
      out.insert(out.end(), 4 + rng.Below(60), 0);
    } else {
      out.push_back(static_cast<uint8_t>(rng.Next() >> 56));
    }
  }
  out.resize(size);
  return out;
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 24-bit bitmap with soft gradients and a little noise: picture-like data.
std::vector<uint8_t> Bitmap(SampleRandom& rng, uint32_t width, uint32_t height) {
  uint32_t row = (width * 3 + 3) & ~3u;
  std::vector<uint8_t> out = {'B', 'M'};
  PutLe(out, 54 + row * height, 4);
  PutLe(out, 0, 4);
  PutLe(out, 54, 4);
  PutLe(out, 40, 4);
  PutLe(out, width, 4);
  PutLe(out, height, 4);
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  PutLe(out, 0, 4);
  PutLe(out, row * height, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  uint32_t hue = rng.Below(256);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t noise = static_cast<uint8_t>(rng.Below(6));
      out.push_back(static_cast<uint8_t>((x * 255 / width + hue) & 0xFF) ^ noise);
      out.push_back(static_cast<uint8_t>(y * 255 / height));
      out.push_back(static_cast<uint8_t>(((x + y) * 2 + hue) & 0xFF));
    }
    out.insert(out.end(), row - width * 3, 0);
  }
  return out;
}

const std::vector<std::string>& Words() {
  static const std::vector<std::string> words = {
      "delivery", "route",   "customer", "order",   "pallet", "scanner", "invoice", "warehouse", "shelf",
      "battery",  "driver",  "receipt",  "count",   "stock",  "return",  "label",   "morning",   "evening",
      "checked",  "missing", "damaged",  "shipped", "the",    "a",       "for",     "with",      "before",
      "after",    "and",     "to",       "from",    "was",    "is",      "on",      "store",     "branch"};
  return words;
}

std::vector<uint8_t> Prose(SampleRandom& rng, size_t size) {
  std::string text;
  while (text.size() < size) {
    int words = 6 + static_cast<int>(rng.Below(10));
    for (int i = 0; i < words; ++i) {
      std::string w = rng.Pick(Words());
      if (i == 0) w[0] = static_cast<char>(w[0] - 'a' + 'A');
      text += w;
      text += i + 1 < words ? " " : ".";
    }
    text += rng.Below(5) == 0 ? "\r\n\r\n" : " ";
  }
  text.resize(size);
  return Bytes(text);
}

std::vector<uint8_t> InventoryCsv(SampleRandom& rng, int rows) {
  std::string text = "Code,Item,Shelf,Count,Checked\r\n";
  for (int i = 0; i < rows; ++i) {
    text += std::to_string(4901234000000ull + rng.Below(999999)) + "," + rng.Pick(Words()) + " " +
            rng.Pick(Words()) + ",S" + std::to_string(1 + rng.Below(40)) + "-" + std::to_string(1 + rng.Below(6)) +
            "," + std::to_string(rng.Below(500)) + "," + (rng.Below(3) ? "yes" : "no") + "\r\n";
  }
  return Bytes(text);
}

// Adds folders and files, giving each file a time some days before the
// factory date so times differ from file to file.
class FileAdder {
 public:
  explicit FileAdder(DeviceImage* image) : image_(image), rng_(0x5EED0F11E5ull) {}

  SampleRandom& rng() { return rng_; }
  // Folders date from the day the image was made, well before any file.
  void Folder(std::u16string path, DWORD attributes = 0) {
    image_->folders.push_back({std::move(path), attributes, kSampleEpochTicks - 420 * kTicksPerDay});
  }
  void File(std::u16string path, std::vector<uint8_t> data, DWORD attributes = kAttrArchive) {
    uint64_t age = (1 + rng_.Below(400)) * kTicksPerDay + rng_.Below(1440) * kTicksPerMinute;
    uint64_t written = kSampleEpochTicks - age;
    uint64_t created = written - rng_.Below(30) * kTicksPerDay;
    image_->files.push_back({std::move(path), std::move(data), attributes, written, created});
  }
  void Rom(std::u16string path, std::vector<uint8_t> data) {
    File(std::move(path), std::move(data), kAttrInRom | kAttrReadOnly | kAttrSystem);
  }

 private:
  DeviceImage* image_;
  SampleRandom rng_;
};

void AddWindowsFolder(FileAdder& add) {
  auto& rng = add.rng();
  add.Folder(u"\\Windows", kAttrSystem);
  // Device programs: each names the host program that runs it.
  add.Rom(u"\\Windows\\tolvane.exe", ProgramStub("tolvane"));
  add.Rom(u"\\Windows\\welcome.exe", ProgramStub("welcome"));
  add.Rom(u"\\Windows\\ctlpnl.exe", ProgramStub("ctlpnl"));
  add.Rom(u"\\Windows\\peghelp.exe", ProgramStub("peghelp"));
  // The auto-restore tool (a user starts it to make the backup it restores
  // after a full reset) and the service-pack finishing tool.
  add.Rom(u"\\Windows\\Restore.exe", ProgramStub("restore"));
  add.Rom(u"\\Windows\\spfinish.exe", ProgramStub("spfinish"));
  // The model's set-up program and its settings: ROM files a backup keeps on
  // this platform.
  add.Rom(u"\\Windows\\ModelSetup.exe", ModuleBlob(rng, 23552));
  add.Rom(u"\\Windows\\ModelSetup.ini",
          Utf16File(u"[Model]\r\nName=HT-660\r\nKeys=30\r\nScanner=2D Imager\r\n[Setup]\r\nLaunch=1\r\nOrder=80\r\n"));
  for (const char16_t* module : {u"coredll.dll", u"Halmix.dll", u"eeprom.dll", u"Panelry.dll", u"commctrl.dll",
                                 u"mfcce400.dll", u"touch.dll", u"HHPScanDriver.dll", u"shell.exe",
                                 u"explorer.exe", u"ScanWedge.exe"}) {
    add.Rom(std::u16string(u"\\Windows\\") + module, ModuleBlob(rng, 8192 + rng.Below(24576)));
  }
  add.Rom(u"\\Windows\\Tolvane.htm",
          Bytes("<html><head><title>Tolvane Utility</title></head><body>\r\n<a name=\"Main_Contents\"></a>"
                "<h1>Tolvane Utility</h1>\r\n<p>Backup saves the whole terminal to the storage you choose; "
                "Restore puts it back.</p>\r\n</body></html>\r\n"));
  // RAM files that programs and the user put there.
  add.File(u"\\Windows\\tolvane.ini", Bytes("[Location]\r\nLast=FlashDisk\r\n"));
  add.File(u"\\Windows\\Scanner.cfg", ModuleBlob(rng, 1536), kAttrArchive | kAttrHidden);
  add.File(u"\\Windows\\Fonts.dat", ModuleBlob(rng, 6144), kAttrArchive | kAttrSystem);
  // Input-method and log files that a backup leaves out.
  add.File(u"\\Windows\\Imjp31.dll", ModuleBlob(rng, 12288), kAttrArchive | kAttrSystem);
  add.File(u"\\Windows\\Imjp31u.dic", ModuleBlob(rng, 9000), kAttrArchive);
  add.File(u"\\Windows\\custom.dic", ModuleBlob(rng, 2048), kAttrArchive);
  add.File(u"\\Windows\\SystemLog.xml", Bytes("<log>\r\n<entry time=\"2026-03-30\">boot</entry>\r\n</log>\r\n"));
  add.Folder(u"\\Windows\\StartUp");
  add.File(u"\\Windows\\StartUp\\desktop.ini", Bytes("[.ShellClassInfo]\r\nLocalizedResourceName=StartUp\r\n"),
           kAttrArchive | kAttrHidden | kAttrSystem);
  add.File(u"\\Windows\\StartUp\\ScanWedge.lnk", Shortcut("\\Windows\\ScanWedge.exe"));
  add.Folder(u"\\Windows\\Start Menu");
  add.Folder(u"\\Windows\\Start Menu\\Programs");
  add.File(u"\\Windows\\Start Menu\\Programs\\Tolvane.lnk", Shortcut("\\Windows\\tolvane.exe"));
  add.File(u"\\Windows\\Start Menu\\Programs\\Control Panel.lnk", Shortcut("\\Windows\\ctlpnl.exe"));
  add.Folder(u"\\Windows\\Temp");
  add.Folder(u"\\Windows\\Temp\\Internet Explorer");
  add.File(u"\\Windows\\Temp\\Internet Explorer\\cache0001.htm", Prose(rng, 3000));
  add.Folder(u"\\Windows\\Temp\\Internet Explorer\\Images");
  add.File(u"\\Windows\\Temp\\Internet Explorer\\Images\\logo.bmp", Bitmap(rng, 32, 16));
}

void AddSystemFiles(FileAdder& add) {
  auto& rng = add.rng();
  // Database volumes and hives: a backup leaves these out.
  add.File(u"\\pim.vol", ModuleBlob(rng, 16384), kAttrArchive | kAttrHidden | kAttrSystem);
  add.File(u"\\cemail.vol", ModuleBlob(rng, 8192), kAttrArchive | kAttrHidden | kAttrSystem);
  add.Folder(u"\\Documents and Settings", kAttrHidden | kAttrSystem);
  add.File(u"\\Documents and Settings\\system.hv", ModuleBlob(rng, 8192), kAttrHidden | kAttrSystem);
  add.File(u"\\Documents and Settings\\default.vol", ModuleBlob(rng, 4096), kAttrHidden | kAttrSystem);
  add.Folder(u"\\Documents and Settings\\default", kAttrHidden | kAttrSystem);
  add.File(u"\\Documents and Settings\\default\\user.hv", ModuleBlob(rng, 4096), kAttrHidden | kAttrSystem);
  add.Folder(u"\\Application Data");
  add.Folder(u"\\Application Data\\Volatile");
  add.File(u"\\Application Data\\Volatile\\session.tmp", ModuleBlob(rng, 512));
  // The product's install key names this package; the service-pack tool
  // cleans up around it.
  add.Folder(u"\\Temp");
  add.Folder(u"\\Temp\\ServicePack");
  add.File(u"\\Temp\\ServicePack\\TolvaneKit.inf", Bytes("[Version]\r\nSignature=\"$Windows NT$\"\r\n"));
  add.File(u"\\Temp\\ServicePack\\patch01.bin", ModuleBlob(rng, 4096));
  add.File(u"\\Temp\\TolvaneKit_SP1.CAB", ModuleBlob(rng, 20000));
  add.Folder(u"\\Program Files");
  add.Folder(u"\\Program Files\\TolvaneKit");
  add.File(u"\\Program Files\\TolvaneKit\\readme.txt", Prose(rng, 1800), kAttrArchive | kAttrReadOnly);
}

void AddDocuments(FileAdder& add) {
  auto& rng = add.rng();
  add.Folder(u"\\My Documents");
  add.Folder(u"\\My Documents\\Personal");
  add.Folder(u"\\My Documents\\Templates");
  add.Folder(u"\\My Documents\\My Pictures");
  add.Folder(u"\\My Documents\\Business");
  for (int i = 1; i <= 8; ++i) {
    add.File(u"\\My Documents\\Business\\route" + FromUtf8(std::to_string(i)) + u".txt",
             Prose(rng, 8000 + rng.Below(16000)));
  }
  add.File(u"\\My Documents\\Business\\Inventory.csv", InventoryCsv(rng, 900), kAttrArchive | kAttrReadOnly);
  add.File(u"\\My Documents\\Personal\\notes.txt", Prose(rng, 12000));
  add.File(u"\\My Documents\\Personal\\メモ.txt", Prose(rng, 2500));
  add.File(u"\\My Documents\\Personal\\private.txt", Prose(rng, 900), kAttrArchive | kAttrHidden);
  add.File(u"\\My Documents\\Templates\\blank.txt", {});
  add.File(u"\\My Documents\\Templates\\empty form.txt", {});
  add.File(u"\\My Documents\\new.txt", {});
  for (int i = 1; i <= 5; ++i) {
    add.File(u"\\My Documents\\My Pictures\\shelf" + FromUtf8(std::to_string(i)) + u".bmp",
             Bitmap(rng, 96 + 16 * i, 64 + 8 * i));
  }
  add.File(u"\\My Documents\\My Pictures\\signature.bmp", Bitmap(rng, 160, 48));
}

void AddStorage(FileAdder& add) {
  auto& rng = add.rng();
  // Volumes: their folders exist once the device does; only content here.
  add.Folder(u"\\FlashDisk\\Documents");
  add.File(u"\\FlashDisk\\Documents\\manual.txt", Prose(rng, 6000));
  add.Folder(u"\\FlashDisk\\CE");
  add.Folder(u"\\FlashDisk\\CE\\ARM");
  add.Folder(u"\\Storage Card\\DCIM");
  add.File(u"\\Storage Card\\DCIM\\IMG0001.bmp", Bitmap(rng, 64, 48));
  // Root folders that the device mounts as storage.
  add.Folder(u"\\Release");
  add.File(u"\\Release\\release.txt", Bytes("HT-660 OS 4.20.0117\r\n"));
  add.Folder(u"\\ネットワーク");
  add.File(u"\\ネットワーク\\共有.txt", Bytes("\\\\server\\share\r\n"));
}

}  // namespace

void AddSampleFiles(DeviceImage* image) {
  FileAdder add(image);
  AddWindowsFolder(add);
  AddSystemFiles(add);
  AddDocuments(add);
  AddStorage(add);
}

}  // namespace cedev
