// The command table of `cedev`: the one place that lists every command.
// Another command group is added with one entry here.
#include "commands.h"
#include "job_command.h"

namespace cedev::tool {

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"init", "create a device from the built-in sample image",
       "usage: cedev init DIR\n"
       "\n"
       "Creates the sample device in DIR (which must not hold a device yet):\n"
       "settings, object store, volumes, registry and databases, then saves the\n"
       "factory image that 'cedev reset --full' returns to.\n"
       "Exit status: 0 created, 1 failed (a device there already, a folder that\n"
       "is not empty), 2 usage error.\n",
       RunInit},
      {"info", "print the settings and what the device holds",
       "usage: cedev info\n"
       "\n"
       "Prints the device's settings, then files, folders and bytes of the\n"
       "object store and of each volume, registry keys and values, databases and\n"
       "records, and the free space.\n"
       "Exit status: 0 shown, 1 no device, 2 usage error.\n",
       RunInfo},
      {"ls", "list a device folder",
       "usage: cedev ls [-l] [PATH]\n"
       "\n"
       "Lists the folder PATH of the device (default \\). With -l: attributes,\n"
       "size and last-write time of each entry. A PATH that names a file lists\n"
       "that file. Wildcards (* and ?) work as on the device.\n"
       "Exit status: 0 listed, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunLs},
      {"get", "copy a file from the device",
       "usage: cedev get DEVPATH HOSTPATH\n"
       "\n"
       "Copies the device file DEVPATH to HOSTPATH on this computer (into it, when\n"
       "HOSTPATH is a folder).\n"
       "Exit status: 0 done, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunGet},
      {"put", "copy a file onto the device",
       "usage: cedev put [-p] HOSTPATH DEVPATH\n"
       "\n"
       "Copies HOSTPATH from this computer to the device file DEVPATH (into it,\n"
       "when DEVPATH is a folder), replacing it when it exists. With -p the\n"
       "missing folders above DEVPATH are made first.\n"
       "Exit status: 0 done, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
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
       "REGEDIT text.\n"
       "Exit status: 0 done, 1 failed (the message names the key and the cause),\n"
       "2 usage error (also a KEY without a known root, or DATA not of TYPE).\n",
       RunReg},
      {"db", "list or dump the object-store databases",
       "usage: cedev db list\n"
       "       cedev db dump [NAME]\n"
       "\n"
       "'list' prints each database with its type, sort orders and record count;\n"
       "'dump' prints the records of the database NAME (default: all).\n"
       "Exit status: 0 shown, 1 failed (no such database), 2 usage error.\n",
       RunDb},
      {"set", "change a device setting",
       "usage: cedev set KEY VALUE\n"
       "\n"
       "keys:\n" + std::string(SetKeysHelp()) +
           "Exit status: 0 changed, 1 the settings cannot be written, 2 usage error\n"
           "(also an unknown KEY or a VALUE the key does not take).\n",
       RunSet},
      {"volume", "insert or remove a storage volume",
       "usage: cedev volume add NAME [QUOTA]\n"
       "       cedev volume remove NAME\n"
       "\n"
       "Mounts the storage volume NAME (a folder at the root of the device, such\n"
       "as \"Storage Card\") with an optional quota (bytes, or with K, M, G), or\n"
       "unmounts it, as inserting or removing a card does. What a volume holds\n"
       "stays in the device folder's volumes/NAME and comes back with it. The\n"
       "running programs' windows hear of it (WM_DEVICECHANGE).\n"
       "Exit status: 0 done, 1 failed (no such volume, the settings cannot be\n"
       "written), 2 usage error.\n",
       RunVolume},
      {"reset", "full or soft reset, then boot",
       "usage: cedev reset --full|--soft\n"
       "\n"
       "--soft ends every running device program and boots; the object store\n"
       "stays. --full also puts the object store (files, registry, databases)\n"
       "back to the factory image; ROM files and volumes are kept. The boot\n"
       "after a full reset first opens the start-up windows (the welcome\n"
       "program, the owner and the date and time dialogs) and waits until they\n"
       "are on the screen; 'cedev ui' shows and closes them.\n"
       "Exit status: 0 done, 1 failed, 2 usage error.\n",
       RunReset},
      {"boot", "run the device's autostart list",
       "usage: cedev boot\n"
       "\n"
       "Starts the programs of the autostart list, as the device does after a\n"
       "reset. By default the list holds each volume's CE\\ARM\\Restore.exe when\n"
       "present.\n"
       "Exit status: 0 started, 1 a program did not start, 2 usage error.\n",
       RunBoot},
      {"run", "run a device program and wait for it",
       "usage: cedev run [--answer A,B,...] [--timeout SECONDS] PROGRAM [ARGS...]\n"
       "\n"
       "Starts the device executable PROGRAM (a device path such as\n"
       "\\Windows\\tolvane.exe, or a name found in \\Windows) with ARGS as its\n"
       "command line, waits for it, prints its exit code and exits with it.\n"
       "--answer gives the answers to the message boxes the program shows, in\n"
       "order: ok, cancel, yes, no, abort, retry, ignore or a button id. Without\n"
       "answers a box asks at the terminal; with no terminal it waits for a\n"
       "press (another program, the automatic device user: cedev set user auto)\n"
       "until --timeout ends the program.\n"
       "Everything from PROGRAM on belongs to the program (--help included).\n"
       "Exit status: the program's exit code (its low 8 bits); 1 when it cannot\n"
       "be started or waited for, or did not end in time; 2 usage error.\n",
       RunRun},
      {"ui", "show and operate the device's windows",
       "usage: cedev ui\n"
       "       cedev ui list\n"
       "       cedev ui watch [--seconds N]\n"
       "       cedev ui press WINDOW ITEM\n"
       "       cedev ui type [--append] WINDOW ITEM TEXT\n"
       "       cedev ui select WINDOW ITEM CHOICE\n"
       "       cedev ui key KEY...\n"
       "       cedev ui close WINDOW|--all\n"
       "\n"
       "'list' prints the open windows of every program, topmost first, each\n"
       "followed by its items: program, class, id (a window's handle, an item's\n"
       "control id), text and state, one line each. 'watch' prints the lines\n"
       "that come (+) and go (-) as the windows change, for N seconds or until\n"
       "interrupted. WINDOW is a window's handle (0x...), title or class; ITEM\n"
       "is an item's id, its text, or the text of the label in front of it.\n"
       "'press' presses a button (an id that names no item is sent to the window\n"
       "as a command); 'type' replaces an edit's text (--append: adds to it),\n"
       "typing it key by key; 'select' chooses a combo box item; 'key' sends\n"
       "keys to the foreground window (enter, tab, shift+tab, esc, space, up,\n"
       "down, left, right, backspace, f1, a letter or digit; ctrl+ and alt+ too);\n"
       "'close' asks the window (or every window) to close and waits for it.\n"
       "With no subcommand, a screen for a person at a terminal shows the\n"
       "foreground window's items: Tab and Shift+Tab move the focus, Enter\n"
       "presses, Esc cancels, typing goes into the focused edit, Ctrl+N shows\n"
       "the next window and Ctrl+C ends the screen.\n"
       "Exit status: 0 done, 1 no such window or item, the program did not\n"
       "answer or close, or no terminal for the screen; 2 usage error.\n",
       RunUi},
      {"events", "print the device's event journal",
       "usage: cedev events [--after SEQ] [--kind KIND]\n"
       "\n"
       "Prints the journal: sounds, buzzer, resets, key events, cursors, message\n"
       "boxes, processes and debug output, one line each, oldest first.\n"
       "--after SEQ leaves out the entries up to SEQ. --kind KIND prints only\n"
       "the entries of KIND: boot, buzzer, calibration, ctlpnl, cursor, debug,\n"
       "fault, key, msgbox, peghelp, process, reset, sound or welcome.\n"
       "Exit status: 0 shown, 1 no device, 2 usage error.\n",
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
       "  power.status (TARGET battery: GetSystemPowerStatusEx gets no reading)\n"
       "  thread.create (TARGET thread: CreateThread makes no thread)\n"
       "Every fault that fires is journalled (cedev events).\n"
       "volume.full fails the writes of the files named by TARGET; a TARGET that\n"
       "is a folder (such as \\FlashDisk) stands for everything below it.\n"
       "Exit status: 0 done, 1 the fault cannot be recorded, 2 usage error.\n",
       RunFault},
      {"mkdir", "make a device folder",
       "usage: cedev mkdir [-p] PATH\n"
       "\n"
       "Makes the folder PATH on the device. With -p the missing folders above it\n"
       "are made too, and a folder that exists already is no error.\n"
       "Exit status: 0 done, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunMkdir},
      {"rm", "remove a device file or folder",
       "usage: cedev rm [-r] PATH\n"
       "\n"
       "Removes the file PATH, or the empty folder PATH. With -r a folder goes\n"
       "with everything below it, as far as the device lets it: files in ROM,\n"
       "read-only files and files held open stay (with their folders), each\n"
       "named with its cause.\n"
       "Exit status: 0 removed, 1 something stayed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunRm},
      {"mv", "move or rename a device file or folder",
       "usage: cedev mv FROM TO\n"
       "\n"
       "Moves FROM to TO (into it, when TO is a folder), also from the object\n"
       "store to a volume or between volumes, where the volume's quota counts.\n"
       "Exit status: 0 done, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunMv},
      {"cp", "copy a device file on the device",
       "usage: cedev cp FROM TO\n"
       "\n"
       "Copies the device file FROM to TO (into it, when TO is a folder),\n"
       "replacing TO when it exists; the copy keeps the attributes and the\n"
       "last-write time (a copy of a ROM file is an ordinary file).\n"
       "Exit status: 0 done, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunCp},
      {"attrib", "show or change a device file's attributes",
       "usage: cedev attrib PATH [+r|-r|+h|-h|+s|-s|+a|-a ...]\n"
       "\n"
       "Without changes prints the attributes of PATH as 'cedev ls -l' shows\n"
       "them (dr-hsaRt: folder, read-only, hidden, system, archive, ROM,\n"
       "temporary). Each change sets (+) or clears (-) read-only, hidden, system\n"
       "or archive; several letters may follow one sign (+rh). Files in ROM\n"
       "cannot be changed. 'cedev attrib -h' alone prints this help.\n"
       "Exit status: 0 done, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunAttrib},
      {"touch", "make a device file or set its last-write time",
       "usage: cedev touch PATH [--time 'YYYY-MM-DD HH:MM:SS']\n"
       "\n"
       "Makes the empty file PATH when it does not exist, and sets its last-write\n"
       "time to now, or to the device's local time given with --time.\n"
       "Exit status: 0 done, 1 failed (the message names the path and the cause),\n"
       "2 usage error.\n",
       RunTouch},
      {"job", "run one backup or restore job of the main program", JobHelp(),
       RunJob},
  };
  return table;
}

}  // namespace cedev::tool
