// Wine's registry files read into the in-memory registry: every value form, the escapes,
// continuation lines, Wine's order, and errors that name their line.
#include "platform/offline/formats/wine_registry.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

constexpr char kHead[] = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";

struct Loaded {
  MemoryRegistry registry;
  WineRegistryHeader header;
  std::optional<ParseError> error;
};

std::unique_ptr<Loaded> Load(const std::string& body, bool withHead = true) {
  auto loaded = std::make_unique<Loaded>();
  loaded->error = ParseWineRegistry(withHead ? kHead + body : body, RootKey::kLocalMachine,
                                    &loaded->registry, &loaded->header);
  return loaded;
}

std::string Bytes(const MemoryRegistry::Value* value) {
  return value == nullptr ? "<missing>" : std::string(value->data.begin(), value->data.end());
}

const MemoryRegistry::Value* Find(Loaded& loaded, const std::string& key, const std::string& name) {
  const MemoryRegistry::Key* k = loaded.registry.FindKey(RootKey::kLocalMachine, key);
  return k == nullptr ? nullptr : MemoryRegistry::FindValue(k, name);
}

// Expects the body to be refused at the given line of the whole file (the head has 3).
void ExpectErrorAt(const std::string& body, int line, const std::string& words) {
  SCOPED_TRACE(body);
  auto loaded = Load(body);
  ASSERT_TRUE(loaded->error.has_value());
  EXPECT_EQ(loaded->error->line, line);
  EXPECT_NE(loaded->error->message.find(words), std::string::npos) << loaded->error->message;
}

TEST(WineRegistry, HeaderRelativeRootAndArch) {
  auto loaded = Load("#arch=win64\n\n[Software] 1700000000\n#time=1d9a0b0c0d0e0f0\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  EXPECT_EQ(loaded->header.relativeTo, "\\Machine");
  EXPECT_EQ(loaded->header.arch, "win64");
  EXPECT_NE(loaded->registry.FindKey(RootKey::kLocalMachine, "SOFTWARE"), nullptr);

  auto user = Load(
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n", false);
  ASSERT_FALSE(user->error);
  EXPECT_EQ(user->header.relativeTo, "\\User\\S-1-5-21-0-0-0-1000");
  EXPECT_EQ(user->header.arch, "");
}

TEST(WineRegistry, EveryValueForm) {
  auto loaded = Load(
      "[Software\\\\Classes\\\\AVIFile] 1700000000\n"
      "@=\"AVI File\"\n"
      "\"Plain\"=str:\"p\"\n"
      "\"Expand\"=str(2):\"%SystemRoot%\\\\x.dll\"\n"
      "\"Multi\"=str(7):\"a\\0bc\\0\"\n"
      "\"EditFlags\"=hex:00,00,01,00\n"
      "\"Typed\"=hex(4):78,56,34,12\n"
      "\"Utf16\"=hex(1):41,00,e9,00,ac,20,00,00\n"
      "\"Link\"=hex(6):5c,00\n"
      "\"Dword\"=dword:0000010a\n"
      "\"Empty\"=hex:\n"
      "\"Big\"=hex(ffffffff):01\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  const std::string key = "Software\\Classes\\AVIFile";
  struct Expected {
    const char* name;
    uint32_t type;
    std::string bytes;
  };
  const Expected expected[] = {
      {"", kRegSz, std::string("AVI File\0", 9)},
      {"Plain", kRegSz, std::string("p\0", 2)},
      {"Expand", kRegExpandSz, std::string("%SystemRoot%\\x.dll\0", 19)},
      {"Multi", kRegMultiSz, std::string("a\0bc\0\0", 6)},
      {"EditFlags", kRegBinary, std::string("\0\0\x01\0", 4)},
      {"Typed", kRegDword, "\x78\x56\x34\x12"},
      {"Utf16", kRegSz, std::string("A\xE9\x80\0", 4)},  // narrowed to code page 1252
      {"Link", kRegLink, std::string("\\\0", 2)},        // other types byte for byte
      {"Dword", kRegDword, std::string("\x0A\x01\0\0", 4)},
      {"Empty", kRegBinary, ""},
      {"Big", 0xFFFFFFFFu, "\x01"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    const MemoryRegistry::Value* value = Find(*loaded, key, e.name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, e.type);
    EXPECT_EQ(Bytes(value), e.bytes);
  }
}

TEST(WineRegistry, EscapesAndCharacterSets) {
  auto loaded = Load(
      "[K]\n"
      "\"a\"=\"back\\\\slash \\\"quoted\\\" \\n\\r\\t end\"\n"
      "\"b\"=\"\\x41\\x00e9\\x20ac\\x4e2d\\xg\"\n"
      "\"c\"=\"\\101\\0\\7\\1234\"\n"
      "\"d\"=\"caf\xC3\xA9 \xE9 \xF0\x9F\x98\x80\"\n"
      "\"e\\\"q\"=\"name with a quote\"\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  EXPECT_EQ(Bytes(Find(*loaded, "K", "a")), std::string("back\\slash \"quoted\" \n\r\t end\0", 28));
  // \x takes up to four hex digits; U+4E2D has no code page 1252 byte; \x without a digit is x.
  EXPECT_EQ(Bytes(Find(*loaded, "K", "b")), std::string("A\xE9\x80?xg\0", 7));
  // Octal takes up to three digits: \1234 is \123 then "4".
  EXPECT_EQ(Bytes(Find(*loaded, "K", "c")), std::string("A\0\x07S4\0", 6));
  // UTF-8 where it is valid, Latin-1 where it is not; one "?" for a character beyond the BMP.
  EXPECT_EQ(Bytes(Find(*loaded, "K", "d")), std::string("caf\xE9 \xE9 ?\0", 9));
  EXPECT_NE(Find(*loaded, "K", "e\"q"), nullptr);
}

TEST(WineRegistry, KeyNamesWithEscapesAndTimestamps) {
  auto loaded = Load(
      "[Software\\\\Odd\\]Name\\\\caf\\x00e9] 1700000000\n"
      "  [Software\\\\Spaced]   42  \n"
      "[Software\\\\NoTime]\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  EXPECT_NE(loaded->registry.FindKey(RootKey::kLocalMachine, "Software\\Odd]Name\\caf\xE9"),
            nullptr);
  EXPECT_NE(loaded->registry.FindKey(RootKey::kLocalMachine, "Software\\Spaced"), nullptr);
  EXPECT_NE(loaded->registry.FindKey(RootKey::kLocalMachine, "Software\\NoTime"), nullptr);
}

TEST(WineRegistry, HexContinuationLines) {
  auto loaded = Load(
      "[K]\n"
      "\"Long\"=hex:01,02,\\\n"
      "  03,04,\\\n"
      "\t05\n"
      "\"After\"=dword:1\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  EXPECT_EQ(Bytes(Find(*loaded, "K", "Long")), "\x01\x02\x03\x04\x05");
  EXPECT_EQ(Bytes(Find(*loaded, "K", "After")), std::string("\x01\0\0\0", 4));
}

TEST(WineRegistry, EnumeratesInWinesSortedOrder) {
  auto loaded = Load(
      "[K\\\\beta]\n[K\\\\Alpha]\n[K\\\\gamma]\n[K]\n\"zeta\"=\"1\"\n\"Eta\"=\"2\"\n@=\"d\"\n"
      "\"alpha\"=\"3\"\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  const MemoryRegistry::Key* k = loaded->registry.FindKey(RootKey::kLocalMachine, "K");
  ASSERT_NE(k, nullptr);
  std::vector<std::string> subkeys, values;
  for (const auto& sub : k->subkeys()) subkeys.push_back(sub->name());
  for (const auto& value : k->values) values.push_back(value.name);
  EXPECT_EQ(subkeys, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  EXPECT_EQ(values, (std::vector<std::string>{"", "alpha", "Eta", "zeta"}));
  // Opening by name still works after the reordering.
  RegKey handle = 0;
  EXPECT_EQ(loaded->registry.RegOpenKeyExA(RootKey::kLocalMachine, "k\\GAMMA", kKeyRead, &handle),
            0);
  loaded->registry.RegCloseKey(handle);
}

TEST(WineRegistry, ALaterValueReplacesAnEarlierOneOfTheSameName) {
  auto loaded = Load("[K]\n\"v\"=\"old\"\n[K]\n\"V\"=dword:2\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  const MemoryRegistry::Value* value = Find(*loaded, "K", "v");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, kRegDword);
  EXPECT_EQ(loaded->registry.FindKey(RootKey::kLocalMachine, "K")->values.size(), 1u);
}

TEST(WineRegistry, CarriageReturnLineEndsAreAccepted) {
  auto loaded = Load("[K] 1\r\n\"v\"=\"x\"\r\n\"h\"=hex:01,\\\r\n 02\r\n");
  ASSERT_FALSE(loaded->error) << loaded->error->message;
  EXPECT_EQ(Bytes(Find(*loaded, "K", "v")), std::string("x\0", 2));
  EXPECT_EQ(Bytes(Find(*loaded, "K", "h")), "\x01\x02");
}

TEST(WineRegistry, MalformedInputIsRefusedAtItsLine) {
  ExpectErrorAt("\"v\"=\"x\"\n", 4, "before the first [key]");
  ExpectErrorAt("[K]\n\"v\"=\"unterminated\n", 5, "closing quote");
  ExpectErrorAt("[K]\n\"v=\"x\"\n", 5, "not followed by =");
  ExpectErrorAt("[K\n", 4, "closing ]");
  ExpectErrorAt("[K] 12 junk\n", 4, "after the key's timestamp");
  ExpectErrorAt("[K\\\\\\\\L]\n", 4, "empty name");
  ExpectErrorAt("[K]\n\"v\"=dword:123456789\n", 5, "1 to 8 hexadecimal digits");
  ExpectErrorAt("[K]\n\"v\"=dword:xyz\n", 5, "1 to 8 hexadecimal digits");
  ExpectErrorAt("[K]\n\"v\"=dword:\n", 5, "1 to 8 hexadecimal digits");
  ExpectErrorAt("[K]\n\"v\"=hex:01,zz\n", 5, "two-digit hexadecimal");
  ExpectErrorAt("[K]\n\"v\"=hex(q):01\n", 5, "hex(N)");
  ExpectErrorAt("[K]\n\"v\"=hex(100000000):01\n", 5, "hex(N)");
  ExpectErrorAt("[K]\n\"v\"=hex:01,\\\n 02,\\\n", 6, "file ends");
  ExpectErrorAt("[K]\n\"v\"=hex:01,\\\n 02,\\\nzz\n", 7, "two-digit hexadecimal");
  ExpectErrorAt("[K]\n\"v\"=float:1.0\n", 5, "unknown value form");
  ExpectErrorAt("[K]\nstray text\n", 5, "neither a [key]");

  auto noSignature = Load("REGEDIT4\n[K]\n", false);
  ASSERT_TRUE(noSignature->error);
  EXPECT_EQ(noSignature->error->line, 1);
  auto empty = Load("", false);
  ASSERT_TRUE(empty->error);
  EXPECT_EQ(empty->error->line, 0);
}

}  // namespace
}  // namespace korvane
