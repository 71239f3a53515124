// The buffer built-ins as a script calls them: the checks every one makes
// first, what each gives back, and the files they save and load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ds/buffer.h"
#include "ds/buffer_builtins.h"
#include "ds/ds.h"
#include "files/files.h"
#include "platform/files.h"
#include "unit/ds/ds_call.h"
#include "unit/script/builtin_group_check.h"
#include "unit/world_reset.h"

namespace {

namespace fs = std::filesystem;
using dstest::Call;
using dstest::Called;
using dstest::Value;

// The message of a report, without the header around it.
std::string Message(const Called& r) {
  const size_t start = r.error.find("\n\n\n");
  if (start == std::string::npos) return r.error;
  const size_t end = r.error.find('\n', start + 3);
  return r.error.substr(start + 3, end == std::string::npos ? std::string::npos : end - start - 3);
}

std::vector<uint8_t> Bytes(double id) {
  IBuffer* b = Buffer_Get(int(id));
  if (!b) return {};
  return std::vector<uint8_t>(b->Data(), b->Data() + b->Size());
}

class BufferBuiltins : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitBufferFunctions();
  }
  double Create(double size, double kind = eBuffer_Fixed, double alignment = 1) {
    const Called r = Call("buffer_create", {size, kind, alignment});
    EXPECT_EQ(r.error, "");
    return r.Real();
  }
};

TEST_F(BufferBuiltins, RegisteredInTheirOrder) { ExpectGroupRegistered(Buffer_Group()); }

TEST_F(BufferBuiltins, CountKindAndIdAreCheckedFirst) {
  const double b = Create(8);
  const double gone = Create(8);
  Call("buffer_delete", {gone});
  struct Case {
    const char* name;
    std::vector<Value> args;
    const char* message;
    double result;
  } cases[] = {
      {"buffer_write", {b, 1.0}, "Illegal argument count", -1},
      {"buffer_write", {b, "1", 1.0}, "Illegal argument type", -1},
      {"buffer_write", {gone, 1.0, 1.0}, "Illegal Buffer Index", -1},
      {"buffer_write", {-1.0, 1.0, 1.0}, "Illegal Buffer Index", -1},
      {"buffer_write", {1e12, 1.0, 1.0}, "Illegal Buffer Index", -1},
      {"buffer_read", {b}, "Illegal argument count", 0},
      {"buffer_read", {"0", 1.0}, "Illegal argument type", 0},
      {"buffer_poke", {b, 0.0, 1.0, "x"}, "Illegal argument type", 0},
      {"buffer_peek", {gone, 0.0, 1.0}, "Illegal Buffer Index", 0},
      {"buffer_seek", {b, 0.0}, "Illegal argument count", -1},
      {"buffer_save", {b, 3.0}, "Illegal argument type", 0},
      {"buffer_save_ext", {gone, "f", 0.0, 1.0}, "Illegal Buffer Index", 0},
      {"buffer_load", {}, "Illegal argument count", -1},
      {"buffer_load", {1.0}, "Illegal argument type", -1},
      {"buffer_load_ext", {b, 1.0, 0.0}, "Illegal argument type", 0},
      {"buffer_copy", {b, 0.0, 1.0, gone, 0.0}, "Illegal Source Buffer Index", 0},
      {"buffer_copy", {gone, 0.0, 1.0, b, 0.0}, "Illegal Source Buffer Index", 0},
      {"buffer_copy", {b, 0.0, 4.0, b, 8.0}, "Source and Destination buffers can't be the same", 0},
      {"buffer_fill", {b, 0.0, 1.0, "x", 1.0}, "Illegal argument type", 0},
      {"buffer_get_size", {gone}, "Illegal Buffer Index", -1},
      {"buffer_tell", {b, b}, "Illegal argument count", -1},
      {"buffer_resize", {gone, 4.0}, "Illegal Buffer Index", 0},
      {"buffer_base64_encode", {gone, 0.0, 1.0}, "Illegal Buffer Index", -1},
      {"buffer_base64_decode", {2.0}, "Illegal argument type", -1},
      {"buffer_base64_decode_ext", {b, "YQ==", "0"}, "Illegal argument type", 0},
      {"buffer_sizeof", {"1"}, "Illegal argument type", -1},
      {"buffer_create", {1.0, 1.0}, "buffer_create: Illegal argument count", -1},
      {"buffer_create", {"8", 1.0, 1.0}, "buffer_create: Illegal argument type", -1},
      {"buffer_create", {0.0, 1.0, 1.0}, "buffer_create: Illegal size", -1},
      {"buffer_create", {0.9, 1.0, 1.0}, "buffer_create: Illegal size", -1},
      {"buffer_create", {double(NAN), 1.0, 1.0}, "buffer_create: Illegal size", -1},
      {"buffer_create", {1e10, 1.0, 1.0}, "buffer_create: Illegal size", -1},
      {"buffer_create", {16.0, 0.0, 2048.0}, "buffer_create: Illegal alignment size", -1},
      {"buffer_create", {16.0, 0.0, 0.0}, "buffer_create: Illegal alignment size", -1},
      {"buffer_get_address", {}, "buffer_get_address: Illegal argument count", 0},
      {"buffer_get_address", {"0"}, "buffer_get_address: Illegal argument type", 0},
      {"buffer_get_address", {gone}, "buffer_get_address: Illegal Buffer Index", 0},
      {"buffer_get_surface", {b, 0.0, 0.0, 0.0, 0.0}, "Error in buffer_get_surface(): Not yet implemented.", -1},
      {"buffer_set_surface", {}, "Error in buffer_set_surface(): Not yet implemented.", -1},
      {"buffer_delete", {}, "Illegal argument count", 0},
  };
  for (const auto& c : cases) {
    const Called out = Call(c.name, c.args);
    EXPECT_EQ(Message(out), c.message) << c.name << " with " << c.args.size() << " arguments";
    EXPECT_EQ(out.Real(), c.result) << c.name;
  }
  EXPECT_EQ(Bytes(b), std::vector<uint8_t>(8, 0));  // nothing was written anywhere
  // The digests start as a string without text.
  const Called md5 = Call("buffer_md5", {gone, 0.0, 1.0});
  EXPECT_EQ(Message(md5), "Illegal Buffer Index");
  EXPECT_TRUE(md5.IsString());
  EXPECT_EQ(md5.Text(), "");
  EXPECT_TRUE(Call("buffer_sha1", {gone, 0.0, 1.0}).IsString());
}

TEST_F(BufferBuiltins, CreateTruncatesAndRoundsTheAlignment) {
  const double b = Create(8.9, 0, 3);
  EXPECT_EQ(Call("buffer_get_size", {b}).Real(), 8);
  EXPECT_EQ(Buffer_Get(int(b))->Alignment(), 4);
  EXPECT_EQ(Buffer_Get(int(b))->Kind(), eBuffer_Fixed);
  EXPECT_NE(dynamic_cast<Buffer_Fast*>(Buffer_Get(int(Create(4, 3.7)))), nullptr);  // kind truncated to 3
  EXPECT_EQ(Buffer_Get(int(Create(4, 9)))->Kind(), 9);  // behaves as fixed
  // Ids are truncated, not rounded: 0.9 is buffer 0.
  EXPECT_EQ(Call("buffer_get_size", {0.9}).Real(), 8);
  EXPECT_EQ(Call("buffer_delete", {12345.0}).error, "");  // never made: nothing, silently
}

TEST_F(BufferBuiltins, WriteChecksTheValueAgainstTheType) {
  const double b = Create(16, eBuffer_Grow);
  EXPECT_EQ(Message(Call("buffer_write", {b, 11.0, 5.0})), "Wrong tws type for buffer type");
  EXPECT_EQ(Message(Call("buffer_write", {b, 1.0, "x"})), "Wrong tws type for buffer type");
  EXPECT_EQ(Call("buffer_write", {b, 11.0, "hi"}).Real(), 0);
  EXPECT_EQ(Call("buffer_write", {b, 7.0, 1.0}).Real(), -1);
  EXPECT_EQ(Call("buffer_write", {b, 6.9, 4294967295.0}).Real(), 0);  // type truncated to 6
  EXPECT_EQ(Call("buffer_tell", {b}).Real(), 7);
  EXPECT_EQ(Call("buffer_seek", {b, 0.0, 0.0}).Real(), 0);
  EXPECT_EQ(Call("buffer_read", {b, 11.0}).Text(), "hi");
  EXPECT_EQ(Call("buffer_read", {b, 6.0}).Real(), -2147483648.0);
  EXPECT_EQ(Call("buffer_read", {b, 1.0}).Real(), 0);
  EXPECT_EQ(Call("buffer_peek", {b, 0.0, 1.0}).Real(), 'h');
  EXPECT_EQ(Call("buffer_peek", {b, 0.0, 11.0}).Real(), 0);
  Call("buffer_poke", {b, 1.0, 1.0, 65.0});
  EXPECT_EQ(Call("buffer_peek", {b, 1.0, 1.0}).Real(), 65);

  const double fixed = Create(4);
  EXPECT_EQ(Call("buffer_write", {fixed, 6.0, 1.0}).Real(), 0);
  EXPECT_EQ(Call("buffer_write", {fixed, 1.0, 1.0}).Real(), -2);
  EXPECT_EQ(Call("buffer_read", {fixed, 1.0}).Real(), -3);

  const double fast = Create(1, eBuffer_Fast);
  EXPECT_EQ(Call("buffer_write", {fast, 2.0, 1.0}).Real(), -4);
  EXPECT_EQ(Call("buffer_write", {fast, 1.0, 200.0}).Real(), 0);
  EXPECT_EQ(Call("buffer_read", {fast, 1.0}).Real(), 0);  // at the end: 0
  Call("buffer_seek", {fast, 0.0, 0.0});
  EXPECT_EQ(Call("buffer_read", {fast, 1.0}).Real(), 200);
}

TEST_F(BufferBuiltins, SizeofAndSeekEnds) {
  struct Case {
    double type, bytes;
  } cases[] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 4}, {6, 4}, {7, 2}, {8, 4}, {9, 8}, {10, 1}, {11, 0}, {0, 0}, {12, 0}};
  for (const auto& c : cases) EXPECT_EQ(Call("buffer_sizeof", {c.type}).Real(), c.bytes) << c.type;
  const double b = Create(10);
  EXPECT_EQ(Call("buffer_seek", {b, 2.0, 0.0}).Real(), 9);
  EXPECT_EQ(Call("buffer_seek", {b, 2.0, 100.0}).Real(), 1);
  EXPECT_EQ(Call("buffer_seek", {b, 0.0, 100.0}).Real(), 9);  // past the end clamps
  EXPECT_EQ(Call("buffer_seek", {b, 1.0, -100.0}).Real(), 0);
  EXPECT_EQ(Call("buffer_tell", {b}).Real(), 0);
}

TEST_F(BufferBuiltins, Md5AndSha1OfARange) {
  const double b = Create(3);
  for (double c : {'a', 'b', 'c'}) Call("buffer_write", {b, 1.0, c});
  EXPECT_EQ(Call("buffer_md5", {b, 0.0, -1.0}).Text(), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Call("buffer_sha1", {b, 0.0, -1.0}).Text(), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Call("buffer_md5", {b, 0.0, 0.0}).Text(), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Call("buffer_sha1", {b, 1.0, 0.0}).Text(), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Call("buffer_base64_encode", {b, 0.0, -1.0}).Text(), "YWJj");
  EXPECT_EQ(Call("buffer_base64_encode", {b, 1.0, 1.0}).Text(), "Yg==");
}

TEST_F(BufferBuiltins, Base64DecodeSizesItsBufferExactlyAndRefusesBadText) {
  const Called r = Call("buffer_base64_decode", {"YWJjZA=="});
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(Bytes(r.Real()), (std::vector<uint8_t>{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(Buffer_Get(int(r.Real()))->Kind(), eBuffer_Grow);
  const Called empty = Call("buffer_base64_decode", {""});
  EXPECT_EQ(empty.error, "");
  EXPECT_EQ(Call("buffer_get_size", {empty.Real()}).Real(), 0);
  EXPECT_EQ(Call("buffer_md5", {empty.Real(), 0.0, -1.0}).Text(), "");  // an empty buffer has no digest

  const int slots = Buffer_TableLength();
  for (const char* bad : {"YW*j", "Y", "YWJj=", "YQ=", "YQ===", "YW Jj", "\xC3\xA9"}) {
    const Called refused = Call("buffer_base64_decode", {bad});
    EXPECT_EQ(refused.Real(), -1) << bad;
    EXPECT_EQ(Message(refused), "buffer_base64_decode: invalid base64 text") << bad;
  }
  for (int id = 2; id < slots; ++id) EXPECT_EQ(Buffer_Get(id), nullptr) << "left behind: " << id;

  const double b = Create(6);
  Call("buffer_fill", {b, 0.0, 1.0, 9.0, -1.0});
  EXPECT_EQ(Call("buffer_base64_decode_ext", {b, "eHk=", 2.0}).Real(), 0);
  EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{9, 9, 'x', 'y', 9, 9}));  // no zeros after the bytes
  const Called bad = Call("buffer_base64_decode_ext", {b, "eH!k", 0.0});
  EXPECT_EQ(bad.Real(), -1);
  EXPECT_EQ(Message(bad), "buffer_base64_decode_ext: invalid base64 text");
  EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{9, 9, 'x', 'y', 9, 9}));
}

TEST_F(BufferBuiltins, ResizeAndFillAreBounded) {
  const double b = Create(8);
  for (double size : {-1.0, -2147483648.0, 1e9, 3e9, double(NAN)}) {
    const Called r = Call("buffer_resize", {b, size});
    if (std::isnan(size)) {
      EXPECT_EQ(r.error, "");  // NaN truncates to 0: an empty buffer
      continue;
    }
    EXPECT_EQ(Message(r), "buffer_resize: Illegal size") << size;
    EXPECT_EQ(Call("buffer_get_size", {b}).Real(), 8);
  }
  EXPECT_EQ(Call("buffer_resize", {b, 16.0}).error, "");
  EXPECT_EQ(Call("buffer_get_size", {b}).Real(), 16);
  // A fill asked for two billion bytes covers the buffer and ends.
  Call("buffer_fill", {b, 4.0, 5.0, 1e9, 2e9});
  const std::vector<uint8_t> bytes = Bytes(b);
  EXPECT_EQ(bytes.size(), 16u);
  EXPECT_EQ(bytes[3], 0);
  EXPECT_EQ(bytes[4], 0x00);
  EXPECT_EQ(bytes[7], 0x3B);  // 1e9 = 0x3B9ACA00
  EXPECT_EQ(bytes[15], 0x3B);
  const double wrap = Create(5, eBuffer_Wrap);
  Call("buffer_fill", {wrap, 3.0, 3.0, 4294967295.0, 2147483647.0});
  // Round the end once (3, 4, 0, 1); the one byte left cannot take a value.
  EXPECT_EQ(Bytes(wrap), (std::vector<uint8_t>{0xFF, 0xFF, 0, 0xFF, 0xFF}));
}

TEST_F(BufferBuiltins, CopyBetweenBuffers) {
  const double from = Create(4);
  const double to = Create(2, eBuffer_Grow);
  for (double v : {1.0, 2.0, 3.0, 4.0}) Call("buffer_write", {from, 1.0, v});
  EXPECT_EQ(Call("buffer_copy", {from, 1.0, 3.0, to, 1.0}).error, "");
  EXPECT_EQ(Bytes(to), (std::vector<uint8_t>{0, 2, 3, 4}));
}

TEST_F(BufferBuiltins, GetAddressGivesAHandleThatResolvesUntilTheBufferGoes) {
  const double b = Create(8);
  const double handle = Call("buffer_get_address", {b}).Real();
  int size = 0;
  EXPECT_EQ(Buffer_ResolveAddress(handle, &size), Buffer_Get(int(b))->Data());
  EXPECT_EQ(size, 8);
  Call("buffer_delete", {b});
  EXPECT_EQ(Buffer_ResolveAddress(handle, &size), nullptr);
}

// Files go to a save area of the test's own.
class BufferFiles : public BufferBuiltins {
 protected:
  void SetUp() override {
    BufferBuiltins::SetUp();
    std::string pattern = (fs::path(::testing::TempDir()) / "tw-buffers-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    LoadSave_SetSaveArea(root_);
  }
  void TearDown() override {
    LoadSave_SetSaveArea("");
    File_RemoveTree(root_);
    BufferBuiltins::TearDown();
  }
  std::string FileBytes(const std::string& name) {
    std::ifstream in(root_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string root_;
};

TEST_F(BufferFiles, SaveAndLoadRoundTrip) {
  const double b = Create(5);
  for (double v : {'h', 'e', 'l', 'l', 'o'}) Call("buffer_write", {b, 1.0, v});
  EXPECT_EQ(Call("buffer_save", {b, "dir/whole.bin"}).Real(), 0);
  EXPECT_EQ(FileBytes("dir/whole.bin"), "hello");
  EXPECT_EQ(Call("buffer_save_ext", {b, "part.bin", 1.0, 3.0}).Real(), 0);
  EXPECT_EQ(FileBytes("part.bin"), "ell");

  const Called loaded = Call("buffer_load", {"dir/whole.bin"});
  EXPECT_EQ(loaded.error, "");
  EXPECT_EQ(Bytes(loaded.Real()), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(Buffer_Get(int(loaded.Real()))->Kind(), eBuffer_Grow);

  const double into = Create(6);
  EXPECT_EQ(Call("buffer_load_ext", {into, "part.bin", 2.0}).Real(), 0);
  EXPECT_EQ(Bytes(into), (std::vector<uint8_t>{0, 0, 'e', 'l', 'l', 0}));
  const double grow = Create(1, eBuffer_Grow);
  EXPECT_EQ(Call("buffer_load_ext", {grow, "part.bin", 3.0}).Real(), 0);
  EXPECT_EQ(Bytes(grow), (std::vector<uint8_t>{0, 0, 0, 'e', 'l', 'l'}));

  std::ofstream(root_ + "/empty.bin").close();
  const Called empty = Call("buffer_load", {"empty.bin"});
  EXPECT_EQ(empty.error, "");
  EXPECT_EQ(Call("buffer_get_size", {empty.Real()}).Real(), 0);
}

TEST_F(BufferFiles, FailuresSayWhy) {
  const double b = Create(4);
  const int slots = Buffer_TableLength();
  const Called missing = Call("buffer_load", {"nowhere.bin"});
  EXPECT_EQ(missing.Real(), -1);
  EXPECT_EQ(Message(missing), "Cannot load buffer file");
  for (int id = 1; id < slots; ++id) EXPECT_EQ(Buffer_Get(id), nullptr) << "left behind: " << id;
  EXPECT_EQ(Message(Call("buffer_load", {"http://example/x.bin"})), "Cannot load buffer file");

  std::ofstream(root_ + "/four.bin") << "four";
  struct Case {
    const char* name;
    double offset;
    const char* message;
  } cases[] = {
      {"nowhere.bin", 0, "buffer_load_ext: cannot load \"nowhere.bin\": file not found"},
      {"http://host/four.bin", 0, "buffer_load_ext: cannot load \"http://host/four.bin\": file name refused"},
      {"https://host/four.bin", 0, "buffer_load_ext: cannot load \"https://host/four.bin\": file name refused"},
      {"../../four.bin", 0, "buffer_load_ext: cannot load \"../../four.bin\": file name refused"},
      {"four.bin", -1, "buffer_load_ext: cannot load \"four.bin\": offset outside the buffer"},
      {"four.bin", 4, "buffer_load_ext: cannot load \"four.bin\": offset outside the buffer"},
  };
  for (const auto& c : cases) {
    const Called r = Call("buffer_load_ext", {b, c.name, c.offset});
    EXPECT_EQ(Message(r), c.message);
    EXPECT_EQ(r.Real(), -1) << c.name;
  }
  EXPECT_EQ(Bytes(b), std::vector<uint8_t>(4, 0));
  EXPECT_EQ(Call("buffer_load_ext", {b, "four.bin", 3.0}).Real(), 0);  // as much as fits
  EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 0, 0, 'f'}));

  // A save that cannot be written reports it and gives -1.
  const Called refused = Call("buffer_save", {b, "../outside.bin"});
  EXPECT_EQ(refused.Real(), -1);
  EXPECT_EQ(Message(refused), "buffer_save: cannot save \"../outside.bin\": file name refused");
  fs::create_directory(root_ + "/taken");
  const Called blocked = Call("buffer_save_ext", {b, "taken", 0.0, 2.0});
  EXPECT_EQ(blocked.Real(), -1);
  EXPECT_EQ(Message(blocked).rfind("buffer_save_ext: cannot save \"taken\": cannot write ", 0), 0u) << Message(blocked);
  EXPECT_TRUE(fs::is_directory(root_ + "/taken"));
}

}  // namespace
