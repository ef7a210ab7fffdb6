// The command table of `cedev`: the one place that lists every command.
// Another command group is added with one entry here.
#include "commands.h"

namespace cedev::tool {

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"init", "create a device from the built-in sample image",
       "usage: cedev init DIR\n"
       "\n"
       "Creates the sample device in DIR (which must not hold a device yet):\n"
       "settings, object store, volumes, registry and databases, then saves the\n"
       "factory image that 'cedev reset --full' returns to.\n",
       RunInit},
      {"info", "print the settings and what the device holds",
       "usage: cedev info\n"
       "\n"
       "Prints the device's settings, then files, folders and bytes of the\n"
       "object store and of each volume, registry keys and values, databases and\n"
       "records, and the free space.\n",
       RunInfo},
      {"ls", "list a device folder",
       "usage: cedev ls [-l] [PATH]\n"
       "\n"
       "Lists the folder PATH of the device (default \\). With -l: attributes,\n"
       "size and last-write time of each entry. A PATH that names a file lists\n"
       "that file. Wildcards (* and ?) work as on the device.\n",
       RunLs},
      {"get", "copy a file from the device",
       "usage: cedev get DEVPATH HOSTPATH\n"
       "\n"
       "Copies the device file DEVPATH to HOSTPATH on this computer.\n",
       RunGet},
      {"put", "copy a file onto the device",
       "usage: cedev put HOSTPATH DEVPATH\n"
       "\n"
       "Copies HOSTPATH from this computer to the device file DEVPATH,\n"
       "replacing it when it exists.\n",
       RunPut},
      {"reg", "query, change or export the registry",
       "usage: cedev reg query KEY\n"
       "       cedev reg set KEY NAME TYPE DATA\n"
       "       cedev reg delete KEY [NAME]\n"
       "       cedev reg export [KEY]\n"
       "\n"
       "KEY starts with its root: HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER\n"
       "(HKCU), HKEY_CLASSES_ROOT (HKCR) or HKEY_USERS (HKU), e.g.\n"
       "'HKLM\\Drivers\\Velta'. NAME \"\" is the key's default value.\n"
       "TYPE is sz, expand_sz, multi_sz (items separated by the two characters\n"
       "\\0), dword (decimal or 0x hex) or binary (hex digits, e.g. 0a1b2c).\n"
       "'reg delete KEY' deletes the key with all its subkeys; with NAME, only\n"
       "that value. 'reg export' prints the key (default: all four roots) in\n"
       "REGEDIT text.\n",
       RunReg},
      {"db", "list or dump the object-store databases",
       "usage: cedev db list\n"
       "       cedev db dump [NAME]\n"
       "\n"
       "'list' prints each database with its type, sort orders and record count;\n"
       "'dump' prints the records of the database NAME (default: all).\n",
       RunDb},
      {"set", "change a device setting",
       "usage: cedev set KEY VALUE\n"
       "\n"
       "keys:\n" + std::string(SetKeysHelp()),
       RunSet},
      {"volume", "insert or remove a storage volume",
       "usage: cedev volume add NAME [QUOTA]\n"
       "       cedev volume remove NAME\n"
       "\n"
       "Mounts the storage volume NAME (a folder at the root of the device, such\n"
       "as \"Storage Card\") with an optional quota (bytes, or with K, M, G), or\n"
       "unmounts it, as inserting or removing a card does. What a volume holds\n"
       "stays in the device folder's volumes/NAME and comes back with it. The\n"
       "running programs' windows hear of it (WM_DEVICECHANGE).\n",
       RunVolume},
      {"reset", "full or soft reset, then boot",
       "usage: cedev reset --full|--soft\n"
       "\n"
       "--soft ends every running device program and boots; the object store\n"
       "stays. --full also puts the object store (files, registry, databases)\n"
       "back to the factory image; ROM files and volumes are kept. The boot\n"
       "after a full reset starts the welcome program first.\n",
       RunReset},
      {"boot", "run the device's autostart list",
       "usage: cedev boot\n"
       "\n"
       "Starts the programs of the autostart list, as the device does after a\n"
       "reset. By default the list holds each volume's CE\\ARM\\Restore.exe when\n"
       "present.\n",
       RunBoot},
      {"run", "run a device program and wait for it",
       "usage: cedev run [--answer A,B,...] [--timeout SECONDS] PROGRAM [ARGS...]\n"
       "\n"
       "Starts the device executable PROGRAM (a device path such as\n"
       "\\Windows\\tolvane.exe, or a name found in \\Windows) with ARGS as its\n"
       "command line, waits for it, prints its exit code and exits with it\n"
       "(1 when it cannot be started or waited for).\n"
       "--answer gives the answers to the message boxes the program shows, in\n"
       "order: ok, cancel, yes, no, abort, retry, ignore or a button id. Without\n"
       "answers a box asks at the terminal; with no terminal it waits for a\n"
       "press (another program, the automatic device user: cedev set user auto)\n"
       "until --timeout ends the program.\n",
       RunRun},
      {"events", "print the device's event journal",
       "usage: cedev events [--after SEQ] [--kind KIND]\n"
       "\n"
       "Prints the journal: sounds, buzzer, resets, key events, cursors, message\n"
       "boxes, processes and debug output, one line each, oldest first.\n",
       RunEvents},
      {"fault", "inject faults into the device's operations",
       "usage: cedev fault add OP TARGET [ERROR] [--count N]\n"
       "       cedev fault list\n"
       "       cedev fault clear\n"
       "\n"
       "Makes the operation OP fail on TARGET (a device path, registry key path\n"
       "or database name; '*' for any, or a prefix ending in '*') with ERROR (a\n"
       "name such as ERROR_DISK_FULL or a number; default ERROR_GEN_FAILURE),\n"
       "N times (default: until cleared). ERROR KILL ends the program on the\n"
       "spot when it reaches the operation, as a power cut would. Operations:\n"
       "  file.open file.create file.read file.write file.delete file.replace\n"
       "  file.vanish\n"
       "  file.resize (ERROR is the size the file is cut or grown to just before\n"
       "  it is opened) volume.full reg.open reg.create reg.set reg.query\n"
       "  reg.query.data (the data is copied out, then the call fails) reg.delete\n"
       "  db.open db.create db.write db.read db.delete\n"
       "Every fault that fires is journalled (cedev events).\n",
       RunFault},
      {"job", "run one backup or restore job of the main program",
       "usage: cedev job backup|restore|registry-backup|registry-restore\n"
       "                 [--location NAME] [--password TEXT] [--answer A,B,...]\n"
       "\n"
       "Runs one job procedure of the main program on the device the way its job\n"
       "runner does: job status reset, job record filled, the procedure on a\n"
       "worker thread. A restore is wrapped in the steps around it (staging\n"
       "folder, Startup folder, and after success the marker files, imager\n"
       "entries and registry flush). Prints the job status by name and code.\n"
       "NAME is the storage folder at the root (default FlashDisk). --answer\n"
       "gives the answers to the questions the job asks (the cancel question),\n"
       "in order. Exit code 0 on success, 1 on failure, 2 for a usage error.\n",
       RunJob},
  };
  return table;
}

}  // namespace cedev::tool
