// Test driver for korvane.exe under Wine: finds the "korvaneClass" window and drives it
// through the real Windows API, one small step per invocation. tests/wine/run-e2e.sh
// calls it; every step prints what it found on standard output (binary, "\n" line ends)
// and exits 0, or explains on standard error and exits 1.
//
// Steps:
//   wait-window [SECONDS]      wait until the main window is visible
//   wait-gone [SECONDS]        wait until no main window is left
//   caption | field | count    the caption, the text of IDC_PATH, LB_GETCOUNT of IDC_REPORT
//   boxes                      "ID STATE" for the check boxes IDC_SYSTEM_INI to
//                              IDC_WELL_KNOWN_DLLS
//   list                       every line of IDC_REPORT (LB_GETTEXT)
//   set-boxes ID=0|1...        clicks (BM_CLICK) the boxes whose state differs
//   click ID                   BM_CLICK, sent: returns when the command has run
//   post-click ID              BM_CLICK, posted: for buttons that open a modal dialog
//   command ID                 WM_COMMAND ID, posted, as the menu sends it
//   open-file TITLE PATH       in the file dialog TITLE: type PATH and press OK
//   cancel-file TITLE          in the file dialog TITLE: press Cancel
//   no-dialog SECONDS          for that long, the program shows no window but its main one
//   about-text                 waits for the About box and prints IDC_ABOUT_TEXT
//   about-esc                  Esc in the About box; checks that it stays open
//   about-ok | about-close     closes it with OK / the caption's close button
//   close esc|done|exit|button closes the program that way
//   rect main|about            the window's rectangle as WxH+X+Y (for screenshots)
//   registry                   the values of HKCU\Software\Ruv Korvane: NAME TYPE HEX
//   resources EXE              the resource templates of EXE, in a canonical text form
//   help-wait TEXT [SECONDS]   wait for the help engine's window that shows TEXT (in its
//                              caption, or as the first line of its page); print the caption
//   help-text TEXT             the text its page shows, "\n" between lines
//   help-rect TEXT             its rectangle as WxH+X+Y
//   help-close TEXT            closes it and waits until the help engine has ended
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const char kClassName[] = "korvaneClass";
const char kAboutTitle[] = "About Korvane";

int Fail(const char* format, const std::string& detail = std::string()) {
  std::fprintf(stderr, "driver: ");
  std::fprintf(stderr, format, detail.c_str());
  std::fprintf(stderr, "\n");
  return 1;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

HWND FindMain() {
  HWND window = FindWindowA(kClassName, nullptr);
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

HWND WaitFor(HWND (*find)(), double seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (HWND window = find()) return window;
    Sleep(50);
  }
  return nullptr;
}

// Returns when the main window's thread has finished what it was doing: a sent message
// is only handled between commands (or inside a modal loop).
void Sync(HWND window) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &result);
}

// Texts are read with the wide messages and converted to the ANSI code page: Wine
// hands the ANSI forms of WM_GETTEXT and LB_GETTEXT back in UTF-16 when the window
// belongs to another process, and GetWindowTextA does not ask another process's
// controls at all.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string text(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size,
                      nullptr, nullptr);
  return text;
}

std::string WindowText(HWND window) {
  if (window == nullptr) return std::string();
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> buffer(length + 2, L'\0');
  SendMessageW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(buffer.data()));
  return Narrow(buffer.data());
}

std::string ListLine(HWND list, int index) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return std::string();
  std::vector<wchar_t> buffer(length + 2, L'\0');
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
  return Narrow(buffer.data());
}

// A visible top-level window of the main window's thread with the given title (a dialog).
struct DialogSearch {
  DWORD thread;
  const char* title;
  HWND main;
  HWND found;
};

BOOL CALLBACK FindDialogOfThread(HWND window, LPARAM data) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(data);
  if (window == search->main || !IsWindowVisible(window)) return TRUE;
  if (search->title != nullptr && WindowText(window) != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindDialog(HWND main, const char* title) {
  DialogSearch search = {GetWindowThreadProcessId(main, nullptr), title, main, nullptr};
  EnumThreadWindows(search.thread, FindDialogOfThread, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialog(HWND main, const char* title, double seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (HWND dialog = FindDialog(main, title)) return dialog;
    Sleep(50);
  }
  return nullptr;
}

bool WaitUntilGone(HWND window, double seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    Sleep(50);
  }
  return false;
}

// Presses a key as the keyboard would: posted to the focused control of the window's
// thread, or to the given control when the thread has no focus.
void PressKey(HWND window, HWND fallback, WPARAM key) {
  GUITHREADINFO info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  HWND target = fallback;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
      info.hwndFocus != nullptr && (info.hwndFocus == window || IsChild(window, info.hwndFocus))) {
    target = info.hwndFocus;
  }
  const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), 0);
  PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

// The file name box of a common file dialog: edt1 (0x480), or the edit inside the
// combo box cmb13 (0x47C), or the first visible edit control.
BOOL CALLBACK FirstEdit(HWND window, LPARAM data) {
  char className[32] = {0};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpiA(className, "Edit") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

HWND FileNameBox(HWND dialog) {
  if (HWND edit = GetDlgItem(dialog, 0x480)) return edit;
  if (HWND combo = GetDlgItem(dialog, 0x47C)) {
    HWND edit = nullptr;
    EnumChildWindows(combo, FirstEdit, reinterpret_cast<LPARAM>(&edit));
    if (edit != nullptr) return edit;
  }
  HWND edit = nullptr;
  EnumChildWindows(dialog, FirstEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

std::string Hex(const BYTE* data, DWORD size) {
  std::string text;
  char byte[4];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02X", data[i]);
    text += byte;
  }
  return text.empty() ? "-" : text;
}

// ---- resources -------------------------------------------------------------------

struct Reader {
  const BYTE* p;
  const BYTE* end;
  bool ok = true;
  WORD Word() {
    if (p + 2 > end) {
      ok = false;
      return 0;
    }
    WORD w = static_cast<WORD>(p[0] | (p[1] << 8));
    p += 2;
    return w;
  }
  DWORD Dword() {
    DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
  }
  std::string Text() {  // a zero-terminated UTF-16 string, shown as 8-bit text
    std::string s;
    while (ok) {
      WORD c = Word();
      if (c == 0) break;
      s += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return s;
  }
  std::string SzOrOrd() {  // sz_Or_Ord: 0, 0xFFFF and a number, or a string
    WORD first = Word();
    if (first == 0) return "";
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    p -= 2;
    return "\"" + Text() + "\"";
  }
  void Align(const BYTE* base) {
    while ((p - base) % 4 != 0) ++p;
  }
};

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

bool LoadResourceBytes(HMODULE module, LPCSTR type, LPCSTR name, const BYTE** data, DWORD* size,
                       WORD* language) {
  HRSRC found = FindResourceA(module, name, type);
  if (found == nullptr) return false;
  *data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  *size = SizeofResource(module, found);
  if (language != nullptr) {
    *language = 0xFFFF;
    // The language of the one copy: try neutral first.
    if (FindResourceExA(module, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)))
      *language = 0;
  }
  return *data != nullptr;
}

void DescribeDialog(HMODULE module, int id) {
  const BYTE* data = nullptr;
  DWORD size = 0;
  WORD language = 0;
  if (!LoadResourceBytes(module, RT_DIALOG, MAKEINTRESOURCEA(id), &data, &size, &language)) {
    Print(Format("dialog %d missing", id));
    return;
  }
  Reader r{data, data + size};
  DWORD style = r.Dword();
  DWORD exStyle = r.Dword();
  if ((style & 0xFFFF0000) == 0xFFFF0000) {
    Print(Format("dialog %d is an extended template", id));
    return;
  }
  WORD count = r.Word();
  short x = r.Word(), y = r.Word(), cx = r.Word(), cy = r.Word();
  std::string menu = r.SzOrOrd();
  std::string cls = r.SzOrOrd();
  std::string title = r.Text();
  Print(Format("dialog %d lang %u style 0x%08lX ex 0x%08lX at %d,%d size %d,%d items %u", id,
               language, style, exStyle, x, y, cx, cy, count));
  Print("  menu " + (menu.empty() ? std::string("none") : menu) + " class " +
        (cls.empty() ? std::string("none") : cls) + " title \"" + title + "\"");
  if (style & DS_SETFONT) {
    WORD points = r.Word();
    Print(Format("  font %u \"", points) + r.Text() + "\"");
  }
  for (WORD i = 0; i < count && r.ok; ++i) {
    r.Align(data);
    DWORD itemStyle = r.Dword();
    DWORD itemEx = r.Dword();
    short ix = r.Word(), iy = r.Word(), icx = r.Word(), icy = r.Word();
    WORD itemId = r.Word();
    std::string itemClass = r.SzOrOrd();
    std::string itemText = r.SzOrOrd();
    WORD extra = r.Word();
    r.p += extra;
    Print(Format("  item %d class %s text %s at %d,%d size %d,%d style 0x%08lX ex 0x%08lX",
                 static_cast<short>(itemId), itemClass.c_str(), itemText.c_str(), ix, iy, icx, icy,
                 itemStyle, itemEx));
  }
}

void DescribeMenu(HMODULE module, int id) {
  const BYTE* data = nullptr;
  DWORD size = 0;
  WORD language = 0;
  if (!LoadResourceBytes(module, RT_MENU, MAKEINTRESOURCEA(id), &data, &size, &language)) {
    Print(Format("menu %d missing", id));
    return;
  }
  Reader r{data, data + size};
  WORD version = r.Word();
  WORD headerSize = r.Word();
  r.p += headerSize;
  Print(Format("menu %d lang %u version %u", id, language, version));
  // Each open level remembers whether it is the last of its own level (MF_END on the
  // pop-up); an item with MF_END closes its level and, through those flags, the levels
  // it was the last of.
  std::vector<bool> levels = {true};
  while (r.ok && r.p < r.end && !levels.empty()) {
    WORD flags = r.Word();
    std::string line(levels.size() * 2, ' ');
    if (flags & MF_POPUP) {
      std::string text = r.Text();
      Print(line + Format("popup flags 0x%04X \"", flags) + text + "\"");
      levels.push_back((flags & MF_END) != 0);
      continue;
    }
    WORD itemId = r.Word();
    std::string text = r.Text();
    std::string shown;
    for (char c : text) shown += c == '\t' ? std::string("\\t") : std::string(1, c);
    if (itemId == 0 && text.empty())
      Print(line + Format("separator flags 0x%04X", flags));
    else
      Print(line + Format("item %u flags 0x%04X \"", itemId, flags) + shown + "\"");
    if (flags & MF_END) {
      bool last = true;
      while (last && !levels.empty()) {
        last = levels.back();
        levels.pop_back();
      }
    }
  }
  if (r.p != r.end) Print(Format("  %d bytes after the menu", static_cast<int>(r.end - r.p)));
}

void DescribeBitmap(HMODULE module, LPCSTR name, const char* shown) {
  const BYTE* data = nullptr;
  DWORD size = 0;
  WORD language = 0;
  if (!LoadResourceBytes(module, RT_BITMAP, name, &data, &size, &language)) {
    Print(Format("bitmap %s missing", shown));
    return;
  }
  const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
  std::string line = Format("bitmap %s lang %u %ldx%ld %u bpp compression %lu colours %lu", shown,
                            language, header->biWidth, header->biHeight, header->biBitCount,
                            header->biCompression, header->biClrUsed);
  if (header->biBitCount <= 8) {
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(data + header->biSize);
    DWORD colours = header->biClrUsed ? header->biClrUsed : (1u << header->biBitCount);
    line += " palette";
    for (DWORD i = 0; i < colours; ++i)
      line += Format(" %02X%02X%02X", palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
  }
  Print(line);
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

void DescribeIconGroup(HMODULE module, int id) {
  const BYTE* data = nullptr;
  DWORD size = 0;
  WORD language = 0;
  if (!LoadResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEA(id), &data, &size, &language)) {
    Print(Format("icon group %d missing", id));
    return;
  }
  WORD count = *reinterpret_cast<const WORD*>(data + 4);
  Print(Format("icon group %d lang %u images %u", id, language, count));
  const GroupIconEntry* entries = reinterpret_cast<const GroupIconEntry*>(data + 6);
  for (WORD i = 0; i < count; ++i) {
    const BYTE* image = nullptr;
    DWORD imageSize = 0;
    std::string bits = "missing";
    if (LoadResourceBytes(module, RT_ICON, MAKEINTRESOURCEA(entries[i].id), &image, &imageSize,
                          nullptr)) {
      const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(image);
      bits = Format("%ldx%ld %u bpp %u planes", header->biWidth, header->biHeight / 2,
                    header->biBitCount, header->biPlanes);
    }
    Print(Format("  image %ux%u colours %u: ", entries[i].width, entries[i].height,
                 entries[i].colours) +
          bits);
  }
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR data) {
  std::vector<std::string>* types = reinterpret_cast<std::vector<std::string>*>(data);
  if (IS_INTRESOURCE(type))
    types->push_back("#" + std::to_string(reinterpret_cast<ULONG_PTR>(type)));
  else
    types->push_back(type);
  return TRUE;
}

int Resources(const char* exe) {
  HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return Fail("cannot open %s", exe);
  std::vector<std::string> types;
  EnumResourceTypesA(module, CollectType, reinterpret_cast<LONG_PTR>(&types));
  std::string line = "types";
  for (const std::string& t : types) line += " " + t;
  Print(line);
  DescribeDialog(module, 1);
  DescribeDialog(module, 2);
  DescribeMenu(module, 1000);
  DescribeIconGroup(module, 1000);
  DescribeIconGroup(module, 1001);
  DescribeBitmap(module, MAKEINTRESOURCEA(1), "1");
  DescribeBitmap(module, "ME", "ME");
  FreeLibrary(module);
  return 0;
}

// ---- the steps ------------------------------------------------------------------

int Registry() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ruv Korvane", 0, KEY_READ, &key) != 0)
    return Fail("no key HKCU\\Software\\Ruv Korvane");
  std::map<std::string, std::string> values;
  for (DWORD index = 0;; ++index) {
    char name[1024];
    BYTE data[4096];
    DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != 0) break;
    values[std::string(name, nameLength)] = Format("%lu ", type) + Hex(data, dataLength);
  }
  RegCloseKey(key);
  for (const auto& value : values) Print(value.first + " " + value.second);
  return 0;
}

const int kBoxes[] = {105, 106, 107, 108, 109, 110, 111, 112};

// The help engine's window belongs to another program. Wine's engine keeps the caption
// it was started with when it opens a file for WinHelp, so the window is also found by
// the text it shows: a help file's topic starts with its title.
BOOL CALLBACK FindRichEdit(HWND window, LPARAM data) {
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  CharLowerA(className);
  if (std::strstr(className, "richedit") != nullptr && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

HWND RichEditOf(HWND window) {
  HWND edit = nullptr;
  EnumChildWindows(window, FindRichEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

struct HelpSearch {
  const char* text;
  HWND found;
};

BOOL CALLBACK FindByTitle(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<HelpSearch*>(data);
  if (!IsWindowVisible(window)) return TRUE;
  HWND edit = RichEditOf(window);
  if (WindowText(window).find(search->text) != std::string::npos ||
      (edit != nullptr &&
       WindowText(edit).compare(0, std::strlen(search->text), search->text) == 0)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindHelpWindow(const char* text) {
  HelpSearch search = {text, nullptr};
  EnumWindows(FindByTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The words after a step's name.
using Args = std::vector<std::string>;

double SecondsOr(const Args& args, size_t at, double otherwise) {
  return args.size() > at ? std::atof(args[at].c_str()) : otherwise;
}

std::string Rectangle(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return Format("%ldx%ld+%ld+%ld", rect.right - rect.left, rect.bottom - rect.top, rect.left,
                rect.top);
}

// ---- steps without the main window --------------------------------------------------

int WaitWindow(HWND, const Args& args) {
  HWND main = WaitFor(FindMain, SecondsOr(args, 0, 30));
  if (main == nullptr) return Fail("no visible korvaneClass window%s", "");
  Sync(main);
  return 0;
}

int WaitGone(HWND, const Args& args) {
  const double seconds = SecondsOr(args, 0, 30);
  for (int i = 0; i < seconds * 20; ++i) {
    if (FindWindowA(kClassName, nullptr) == nullptr) return 0;
    Sleep(50);
  }
  return Fail("the korvaneClass window is still there%s", "");
}

int ResourcesStep(HWND, const Args& args) { return Resources(args[0].c_str()); }
int RegistryStep(HWND, const Args&) { return Registry(); }

// The help engine's window that shows text, waited for up to seconds; null when none.
HWND WaitForHelp(const std::string& text, double seconds) {
  HWND help = nullptr;
  for (int i = 0; help == nullptr && i < seconds * 20; ++i) {
    help = FindHelpWindow(text.c_str());
    if (help == nullptr) Sleep(50);
  }
  if (help == nullptr) Fail("no window with \"%s\" in its caption", text);
  return help;
}

int HelpWait(HWND, const Args& args) {
  HWND help = WaitForHelp(args[0], SecondsOr(args, 1, 20));
  if (help == nullptr) return 1;
  Print(WindowText(help));
  return 0;
}

int HelpText(HWND, const Args& args) {
  HWND help = WaitForHelp(args[0], 20);
  if (help == nullptr) return 1;
  HWND edit = RichEditOf(help);
  if (edit == nullptr) return Fail("the help window \"%s\" shows no rich edit control", args[0]);
  std::string shown = WindowText(edit), lines;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\r') {
      lines += '\n';
      if (i + 1 < shown.size() && shown[i + 1] == '\n') ++i;
    } else {
      lines += shown[i];
    }
  }
  Print(lines);
  return 0;
}

int HelpRect(HWND, const Args& args) {
  HWND help = WaitForHelp(args[0], 20);
  if (help == nullptr) return 1;
  Print(Rectangle(help));
  return 0;
}

int HelpClose(HWND, const Args& args) {
  HWND help = WaitForHelp(args[0], 20);
  if (help == nullptr) return 1;
  PostMessageA(help, WM_CLOSE, 0, 0);
  if (!WaitUntilGone(help, 20)) return Fail("the help window \"%s\" stays open", args[0]);
  // The engine ends with its last window; until it has, WinHelp would hand the next
  // request to the ending engine.
  for (int i = 0; FindWindowA("MS_WINHELP", nullptr) != nullptr; ++i) {
    if (i == 400) return Fail("the help engine's MS_WINHELP window stays%s", "");
    Sleep(50);
  }
  return 0;
}

// ---- steps on the main window -------------------------------------------------------

int Caption(HWND main, const Args&) {
  Print(WindowText(main));
  return 0;
}

int Field(HWND main, const Args&) {
  Print(WindowText(GetDlgItem(main, 101)));
  return 0;
}

int Count(HWND main, const Args&) {
  Print(std::to_string(SendDlgItemMessageA(main, 104, LB_GETCOUNT, 0, 0)));
  return 0;
}

int Boxes(HWND main, const Args&) {
  for (int id : kBoxes)
    Print(Format("%d %d", id, static_cast<int>(SendDlgItemMessageA(main, id, BM_GETCHECK, 0, 0))));
  return 0;
}

int List(HWND main, const Args&) {
  HWND list = GetDlgItem(main, 104);
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) Print(ListLine(list, i));
  return 0;
}

int SetBoxes(HWND main, const Args& args) {
  for (const std::string& box : args) {
    int id = 0, state = 0;
    if (std::sscanf(box.c_str(), "%d=%d", &id, &state) != 2) return Fail("bad box %s", box);
    if (SendDlgItemMessageA(main, id, BM_GETCHECK, 0, 0) != state)
      SendDlgItemMessageA(main, id, BM_CLICK, 0, 0);
    if (SendDlgItemMessageA(main, id, BM_GETCHECK, 0, 0) != state)
      return Fail("box %s did not change", box);
  }
  return 0;
}

int Click(HWND main, const Args& args) {
  SendDlgItemMessageA(main, std::atoi(args[0].c_str()), BM_CLICK, 0, 0);
  Sync(main);
  return 0;
}

int PostClick(HWND main, const Args& args) {
  PostMessageA(GetDlgItem(main, std::atoi(args[0].c_str())), BM_CLICK, 0, 0);
  return 0;
}

int Command(HWND main, const Args& args) {
  PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(std::atoi(args[0].c_str())), 0);
  return 0;
}

// Presses the file dialog's button; for OK, with PATH typed into its file name box first.
int FileDialog(HWND main, const std::string& title, int button, const std::string* path) {
  HWND dialog = WaitForDialog(main, title.c_str(), 20);
  if (dialog == nullptr) return Fail("no dialog \"%s\"", title);
  if (path != nullptr) {
    HWND box = FileNameBox(dialog);
    if (box == nullptr) return Fail("no file name box in \"%s\"", title);
    SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path->c_str()));
  }
  PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  if (!WaitUntilGone(dialog, 20)) return Fail("the dialog \"%s\" stays open", title);
  Sync(main);
  return 0;
}

int OpenFile(HWND main, const Args& args) { return FileDialog(main, args[0], IDOK, &args[1]); }
int CancelFile(HWND main, const Args& args) { return FileDialog(main, args[0], IDCANCEL, nullptr); }

int NoDialog(HWND main, const Args& args) {
  const double seconds = std::atof(args[0].c_str());
  for (int i = 0; i < seconds * 20; ++i) {
    if (HWND other = FindDialog(main, nullptr))
      return Fail("a window appeared: \"%s\"", WindowText(other));
    Sleep(50);
  }
  Sync(main);
  if (HWND other = FindDialog(main, nullptr))
    return Fail("a window appeared: \"%s\"", WindowText(other));
  return 0;
}

int AboutText(HWND main, const Args&) {
  HWND about = WaitForDialog(main, kAboutTitle, 20);
  if (about == nullptr) return Fail("no About box%s", "");
  Print(WindowText(GetDlgItem(about, 101)));
  return 0;
}

int AboutEsc(HWND main, const Args&) {
  HWND about = FindDialog(main, kAboutTitle);
  if (about == nullptr) return Fail("no About box%s", "");
  PressKey(about, GetDlgItem(about, IDOK), VK_ESCAPE);
  Sleep(300);
  Sync(about);
  if (!IsWindow(about) || !IsWindowVisible(about)) return Fail("Esc closed the About box%s", "");
  return 0;
}

// Closes the About box with the message given, and waits until it has gone.
int CloseAbout(HWND main, HWND (*target)(HWND about), UINT message, WPARAM wParam) {
  HWND about = FindDialog(main, kAboutTitle);
  if (about == nullptr) return Fail("no About box%s", "");
  PostMessageA(target(about), message, wParam, 0);
  if (!WaitUntilGone(about, 20)) return Fail("the About box stays open%s", "");
  Sync(main);
  return 0;
}

HWND OkButton(HWND about) { return GetDlgItem(about, IDOK); }
HWND Itself(HWND about) { return about; }
int AboutOk(HWND main, const Args&) { return CloseAbout(main, OkButton, BM_CLICK, 0); }
int AboutClose(HWND main, const Args&) { return CloseAbout(main, Itself, WM_SYSCOMMAND, SC_CLOSE); }

int Close(HWND main, const Args& args) {
  const std::string& how = args[0];
  if (how == "esc")
    PressKey(main, GetDlgItem(main, 103), VK_ESCAPE);
  else if (how == "done")
    PostMessageA(GetDlgItem(main, 2), BM_CLICK, 0, 0);
  else if (how == "exit")
    PostMessageA(main, WM_COMMAND, 206, 0);
  else if (how == "button")
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  else
    return Fail("unknown way to close: %s", how);
  return 0;
}

int Rect(HWND main, const Args& args) {
  HWND window = args[0] == "about" ? FindDialog(main, kAboutTitle) : main;
  if (window == nullptr) return Fail("no window %s", args[0]);
  Print(Rectangle(window));
  return 0;
}

// ---- the table ----------------------------------------------------------------------

struct Step {
  const char* name;
  size_t needs;      // words the step needs after its name
  bool onMain;       // acts on the main window, which must be visible first
  const char* what;  // what those words are, for the message when they are missing
  int (*run)(HWND main, const Args& args);
};

const Step kSteps[] = {
    {"wait-window", 0, false, "", WaitWindow},
    {"wait-gone", 0, false, "", WaitGone},
    {"resources", 1, false, "EXE", ResourcesStep},
    {"registry", 0, false, "", RegistryStep},
    {"help-wait", 1, false, "the caption's text", HelpWait},
    {"help-text", 1, false, "the caption's text", HelpText},
    {"help-rect", 1, false, "the caption's text", HelpRect},
    {"help-close", 1, false, "the caption's text", HelpClose},
    {"caption", 0, true, "", Caption},
    {"field", 0, true, "", Field},
    {"count", 0, true, "", Count},
    {"boxes", 0, true, "", Boxes},
    {"list", 0, true, "", List},
    {"set-boxes", 0, true, "", SetBoxes},
    {"click", 1, true, "ID", Click},
    {"post-click", 1, true, "ID", PostClick},
    {"command", 1, true, "ID", Command},
    {"open-file", 2, true, "TITLE PATH", OpenFile},
    {"cancel-file", 1, true, "TITLE", CancelFile},
    {"no-dialog", 1, true, "SECONDS", NoDialog},
    {"about-text", 0, true, "", AboutText},
    {"about-esc", 0, true, "", AboutEsc},
    {"about-ok", 0, true, "", AboutOk},
    {"about-close", 0, true, "", AboutClose},
    {"close", 1, true, "esc|done|exit|button", Close},
    {"rect", 1, true, "main|about", Rect},
};

int Main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: driver STEP [ARGS]");
  const std::string name = argv[1];
  const Args args(argv + 2, argv + argc);
  for (const Step& step : kSteps) {
    if (name != step.name) continue;
    if (args.size() < step.needs) return Fail(("%s needs " + std::string(step.what)).c_str(), name);
    HWND main = nullptr;
    if (step.onMain) {
      main = FindMain();
      if (main == nullptr) return Fail("no visible korvaneClass window%s", "");
    }
    return step.run(main, args);
  }
  return Fail("unknown step %s", name);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  const int status = Main(argc, argv);
  std::fflush(stdout);
  return status;
}
