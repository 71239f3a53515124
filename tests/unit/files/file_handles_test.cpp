#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "unit/ds/ds_call.h"
#include "unit/files/sandbox_fixture.h"
#include "unit/script/builtin_group_check.h"

namespace {

using dstest::Call;
using filetest::FilesBelow;
using filetest::Got;
using filetest::Put;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

class Handles : public filetest::Sandbox {
 protected:
  // Opens a text file for reading over `bytes` put in the game's directory.
  double OpenText(const std::string& bytes) {
    Put(Game("t.txt"), bytes);
    return Call("file_text_open_read", {"t.txt"}).Real();
  }
};

TEST_F(Handles, TheFileGroupRegistersEveryFamilyInOrder) { ExpectGroupRegistered(Files_FileGroup()); }

TEST_F(Handles, BinaryBytesRoundTripWithPositionSizeAndSeek) {
  const double out = Call("file_bin_open", {"sub/data.bin", 1}).Real();
  ASSERT_EQ(out, 1);
  for (int b : {0, 255, 256 + 7, -1, 65}) Call("file_bin_write_byte", {out, double(b)});
  EXPECT_EQ(Call("file_bin_position", {out}).Real(), 5);
  EXPECT_EQ(Call("file_bin_size", {out}).Real(), 5);
  Call("file_bin_seek", {out, 1});
  Call("file_bin_write_byte", {out, 9});
  EXPECT_EQ(Call("file_bin_position", {out}).Real(), 2);
  EXPECT_FALSE(fs::exists(Area("sub/data.bin"))) << "bytes reach the disk when the file is closed";
  Call("file_bin_close", {out});
  EXPECT_EQ(Got(Area("sub/data.bin")), std::string("\x00\x09\x07\xFF\x41", 5));

  const double in = Call("file_bin_open", {"sub/data.bin", 0.0}).Real();
  ASSERT_EQ(in, 1) << "the lowest free slot";
  EXPECT_EQ(Call("file_bin_size", {in}).Real(), 5);
  Call("file_bin_seek", {in, 3});
  EXPECT_EQ(Call("file_bin_read_byte", {in}).Real(), 255);
  EXPECT_EQ(Call("file_bin_size", {in}).Real(), 5);
  EXPECT_EQ(Call("file_bin_position", {in}).Real(), 4) << "the size leaves the position";
  EXPECT_EQ(Call("file_bin_read_byte", {in}).Real(), 0x41);
  auto atEnd = Call("file_bin_read_byte", {in});
  EXPECT_EQ(atEnd.Real(), 0);
  EXPECT_THAT(atEnd.error, HasSubstr("Error reading byte."));
  auto written = Call("file_bin_write_byte", {in, 1});
  EXPECT_EQ(written.error, "") << "writing to a file opened for reading does nothing, silently";
  Call("file_bin_close", {in});
  EXPECT_EQ(Got(Area("sub/data.bin")).size(), 5u);
}

TEST_F(Handles, ReadWriteModesStartFromTheFileAndNeverChangeTheGamesOwn) {
  Put(Game("level.dat"), "ABCD");
  for (double mode : {2.0, 3.0}) {
    SCOPED_TRACE(mode);
    fs::remove(Area("level.dat"));
    const double f = Call("file_bin_open", {"level.dat", mode}).Real();
    ASSERT_GE(f, 1);
    Call("file_bin_seek", {f, 1});
    Call("file_bin_write_byte", {f, 'x'});
    if (mode == 2) {
      EXPECT_EQ(Call("file_bin_read_byte", {f}).Real(), 'C');
    } else {
      // Modes other than 0, 1 and 2 neither read nor write bytes.
      EXPECT_THAT(Call("file_bin_read_byte", {f}).error, HasSubstr("Error reading byte."));
    }
    Call("file_bin_close", {f});
    EXPECT_EQ(Got(Game("level.dat")), "ABCD");
    EXPECT_EQ(Got(Area("level.dat")), mode == 2 ? "AxCD" : "ABCD");
  }
  // Opening for writing starts the save area's copy empty and leaves the game's alone.
  const double w = Call("file_bin_open", {"level.dat", 1}).Real();
  EXPECT_THAT(Call("file_bin_read_byte", {w}).error, HasSubstr("Error reading byte."));
  Call("file_bin_close", {w});
  EXPECT_EQ(Got(Game("level.dat")), "ABCD");
  EXPECT_EQ(Got(Area("level.dat")), "");
  // Reading finds the save area's copy first.
  const double r = Call("file_bin_open", {"level.dat", 0.0}).Real();
  EXPECT_EQ(Call("file_bin_size", {r}).Real(), 0);
}

TEST_F(Handles, RewriteStartsOverInTheSaveArea) {
  Put(Game("g.bin"), "game");
  const double f = Call("file_bin_open", {"g.bin", 0.0}).Real();
  Call("file_bin_rewrite", {f});
  Call("file_bin_write_byte", {f, 'n'});
  EXPECT_EQ(Call("file_bin_size", {f}).Real(), 1);
  Call("file_bin_close", {f});
  EXPECT_EQ(Got(Game("g.bin")), "game");
  EXPECT_EQ(Got(Area("g.bin")), "n");
}

TEST_F(Handles, BinarySlotErrors) {
  Put(Area("x.bin"), "x");
  std::vector<double> open;
  for (int i = 0; i < 31; ++i) open.push_back(Call("file_bin_open", {"x.bin", 0.0}).Real());
  EXPECT_EQ(open.front(), 1);
  EXPECT_EQ(open.back(), 31);
  auto full = Call("file_bin_open", {"x.bin", 0.0});
  EXPECT_EQ(full.Real(), -1);
  EXPECT_THAT(full.error, HasSubstr("Cannot open another file (maximum exceeded)."));
  File_CloseAllBinary();

  Said();
  EXPECT_EQ(Call("file_bin_open", {"missing.bin", 0.0}).Real(), -1);
  EXPECT_EQ(Call("file_bin_open", {"../escape.bin", 1}).Real(), -1);
  EXPECT_THAT(Said(), HasSubstr("Error opening binary file missing.bin\nError opening binary file ../escape.bin\n"));
  const struct {
    const char* name;
    std::initializer_list<dstest::Value> args;
    const char* error;
  } cases[] = {
      {"file_bin_close", {3}, "Trying to close unopened file."},
      {"file_bin_rewrite", {0.0}, "Trying to rewrite unopened file."},
      {"file_bin_rewrite", {32}, "Trying to rewrite unopened file."},
      {"file_bin_position", {1}, "File is not opened."},
      {"file_bin_size", {-1}, "File is not opened."},
      {"file_bin_seek", {1, 0.0}, "File is not opened."},
      {"file_bin_read_byte", {1}, "File is not opened."},
      {"file_bin_write_byte", {1, 0.0}, "File is not opened."},
  };
  for (const auto& c : cases) EXPECT_THAT(Call(c.name, c.args).error, HasSubstr(c.error)) << c.name;
}

TEST_F(Handles, WhatWaitsIsWrittenAtTheEnd) {
  const double b = Call("file_bin_open", {"b.bin", 1}).Real();
  Call("file_bin_write_byte", {b, 'b'});
  const double t = Call("file_text_open_write", {"t.txt"}).Real();
  Call("file_text_write_string", {t, "text"});
  Call("file_open_write", {"current.txt"});
  Call("file_write_string", {"current"});
  File_CloseAllBinary();
  EXPECT_EQ(Got(Area("b.bin")), "b");
  EXPECT_FALSE(fs::exists(Area("t.txt")));
  File_CloseAllText();
  EXPECT_EQ(Got(Area("t.txt")), "text");
  EXPECT_EQ(Got(Area("current.txt")), "current");
  EXPECT_THAT(Call("file_text_write_string", {t, "late"}).error, HasSubstr("File not opened for writing."));
}

TEST_F(Handles, AFailedWriteReportsAndKeepsTheOldFile) {
  Put(Area("save.txt"), "good");
  const double t = Call("file_text_open_write", {"save.txt"}).Real();
  const std::string big(4000, 'z');
  Call("file_text_write_string", {t, big.c_str()});
  Said();
  filetest::WithFilesCutAt(100, [&] { Call("file_text_close", {t}); });
  EXPECT_THAT(Said(), HasSubstr("Error writing file " + Area("save.txt")));
  EXPECT_EQ(Got(Area("save.txt")), "good");
  EXPECT_EQ(FilesBelow(area_), std::vector<std::string>{"save.txt"});
}

TEST_F(Handles, TextReadFormsAndTheirLineRules) {
  const double f = OpenText("ab\r\ncd\n12.5 x\nlast");
  ASSERT_EQ(f, 1);
  auto read = [&](const char* name) { return Call(name, {f}).Text(); };
  auto number = [&](const char* name) { return Call(name, {f}).Real(); };
  EXPECT_EQ(read("file_text_read_string"), "ab");
  EXPECT_EQ(number("file_text_eoln"), 1);
  EXPECT_EQ(read("file_text_read_string"), "") << "the CR stays";
  EXPECT_EQ(read("file_text_readln"), "\r\n");
  EXPECT_EQ(number("file_text_eoln"), 0);
  EXPECT_EQ(read("file_text_readln"), "cd\n");
  EXPECT_EQ(number("file_text_read_real"), 12.5);
  EXPECT_EQ(number("file_text_read_real"), 0) << "no number follows";
  EXPECT_EQ(read("file_text_read_string"), "x") << "the blanks before it are gone";
  EXPECT_EQ(read("file_text_readln"), "\n");
  EXPECT_EQ(number("file_text_eof"), 0);
  EXPECT_EQ(read("file_text_read_string"), "last");
  EXPECT_EQ(number("file_text_eof"), 1);
  EXPECT_EQ(number("file_text_eoln"), 1);
  EXPECT_EQ(read("file_text_read_string"), "");
  EXPECT_EQ(read("file_text_readln"), "");
  Call("file_text_close", {f});
  EXPECT_THAT(Call("file_text_read_string", {f}).error, HasSubstr("File is not opened for reading."));
}

TEST_F(Handles, TextReadEdges) {
  double f = OpenText("\xEF\xBB\xBFhello\n");
  EXPECT_EQ(Call("file_text_read_string", {f}).Text(), "hello");
  Call("file_text_close", {f});

  const std::string longLine(1500, 'q');
  f = OpenText(longLine + "\n");
  EXPECT_EQ(Call("file_text_readln", {f}).Text().size(), 1024u) << "a line is read in pieces of at most 1,024";
  EXPECT_EQ(Call("file_text_readln", {f}).Text(), std::string(476, 'q') + "\n");
  Call("file_text_close", {f});
  f = OpenText(longLine);
  EXPECT_EQ(Call("file_text_read_string", {f}).Text(), longLine) << "a string is read whole";
  Call("file_text_close", {f});

  f = OpenText("x\xFFy");  // a 0xFF byte is text, not the end
  EXPECT_EQ(Call("file_text_read_string", {f}).Text(), "x\xFFy");
  Call("file_text_close", {f});

  // The save area's copy wins over the game's.
  Put(Area("t.txt"), "saved");
  f = OpenText("game");
  EXPECT_EQ(Call("file_text_read_string", {f}).Text(), "saved");
  Call("file_text_close", {f});

  f = Call("file_text_open_from_string", {"one\ntwo"}).Real();
  EXPECT_EQ(Call("file_text_readln", {f}).Text(), "one\n");
  EXPECT_EQ(Call("file_text_read_string", {f}).Text(), "two");
  EXPECT_EQ(Call("file_text_eof", {f}).Real(), 1);
  Call("file_text_close", {f});
}

TEST_F(Handles, TextOpeningFailures) {
  Said();
  EXPECT_EQ(Call("file_text_open_read", {"missing.txt"}).Real(), -1);
  EXPECT_EQ(Call("file_text_open_read", {"../outside/x"}).Real(), -1);
  EXPECT_EQ(Call("file_text_open_read", {5}).Real(), -1);
  EXPECT_EQ(Call("file_text_open_from_string", {5}).Real(), -1);
  EXPECT_EQ(Call("file_text_open_write", {"../x.txt"}).Real(), -1);
  EXPECT_EQ(Call("file_text_open_append", {"/etc/x.txt"}).Real(), -1);
  EXPECT_EQ(filetest::WithoutRedirections(Said()),
            "ERROR!!! :: Failed to open file: missing.txt\n"
            "ERROR!!! :: Failed to open file: ../outside/x\n"
            "ERROR!!! :: wrong type for filename\n"
            "ERROR!!! :: wrong type for filename\n");
  for (int i = 0; i < 31; ++i) ASSERT_EQ(Call("file_text_open_from_string", {"x"}).Real(), i + 1);
  auto full = Call("file_text_open_write", {"y.txt"});
  EXPECT_EQ(full.Real(), -1);
  EXPECT_THAT(full.error, HasSubstr("Cannot open another file (maximum exceeded)."));
  EXPECT_THAT(Call("file_text_close", {0.0}).error, HasSubstr("Trying to close unexisting text file."));
  EXPECT_THAT(Call("file_text_write_string", {1, "x"}).error, HasSubstr("File not opened for writing."));
  EXPECT_THAT(Call("file_text_eof", {32}).error, HasSubstr("File is not opened for reading."));
}

TEST_F(Handles, TextWriteForms) {
  const double f = Call("file_text_open_write", {"dir/out.txt"}).Real();
  EXPECT_EQ(Said(), "Invalid Save location(currdir) - redirected to: '" + Area("dir/out.txt") +
                        "'\nOutput file is " + Area("dir/out.txt") + "\n");
  Call("file_text_write_string", {f, "a=1"});
  Call("file_text_write_string", {f, 7});  // a number writes nothing
  Call("file_text_writeln", {f});
  for (double v : {0.5, 1e20, -3.0, 1234567.0}) Call("file_text_write_real", {f, v});
  EXPECT_THAT(Call("file_text_read_string", {f}).error, HasSubstr("File is not opened for reading."));
  Call("file_text_close", {f});
  EXPECT_EQ(Got(Area("dir/out.txt")), "a=1\n0.5 1e+20 -3 1.23457e+06 ");
}

TEST_F(Handles, AppendStartsFromTheGamesCopyWithoutChangingIt) {
  Put(Game("log.txt"), "from game\n");
  double f = Call("file_text_open_append", {"log.txt"}).Real();
  Call("file_text_write_string", {f, "one"});
  Call("file_text_close", {f});
  EXPECT_EQ(Got(Area("log.txt")), "from game\none");
  EXPECT_EQ(Got(Game("log.txt")), "from game\n");
  f = Call("file_text_open_append", {"log.txt"}).Real();
  Call("file_text_writeln", {f});
  Call("file_text_write_string", {f, "two"});
  Call("file_text_close", {f});
  EXPECT_EQ(Got(Area("log.txt")), "from game\none\ntwo");
  f = Call("file_text_open_append", {"new.txt"}).Real();
  Call("file_text_close", {f});
  EXPECT_EQ(Got(Area("new.txt")), "") << "appending to nothing makes the file";
}

TEST_F(Handles, TheCurrentFileStaysInTheSandbox) {
  Put(outside_ + "/secret.txt", "secret\n");
  Call("file_open_read", {(outside_ + "/secret.txt").c_str()});
  EXPECT_THAT(Call("file_read_string").error, HasSubstr("File not opened for reading."));
  Call("file_open_read", {"../outside/secret.txt"});
  EXPECT_THAT(Call("file_eof").error, HasSubstr("File is not opened for reading."));

  Call("file_open_write", {"../outside/secret.txt"});
  EXPECT_THAT(Call("file_write_string", {"gotcha"}).error, HasSubstr("File not opened for writing."));
  Call("file_open_append", {(outside_ + "/secret.txt").c_str()});
  Call("file_write_string", {"gotcha"});
  Call("file_close");
  EXPECT_EQ(Got(outside_ + "/secret.txt"), "secret\n");

  // A relative name writes into the save area and reads back from there.
  Call("file_open_write", {"current.txt"});
  Call("file_write_string", {"abc"});
  Call("file_writeln");
  Call("file_write_real", {0.5});
  Call("file_write_real", {-12345.678});
  Call("file_close");
  EXPECT_EQ(Got(Area("current.txt")), "abc\n    0.5000-12345.6780");
  Call("file_open_append", {"current.txt"});
  Call("file_writeln");
  Call("file_close");
  EXPECT_EQ(Got(Area("current.txt")), "abc\n    0.5000-12345.6780\n");
}

TEST_F(Handles, TheCurrentFileReadsLikeATextStream) {
  Put(Game("c.txt"), "ab\r\ncd\r\n 2.5\nx");
  Call("file_open_read", {"c.txt"});
  EXPECT_EQ(Call("file_read_string").Text(), "ab") << "the line end is taken with it";
  EXPECT_EQ(Call("file_readln").Text(), "cd\n") << "CR LF reads as LF";
  EXPECT_EQ(Call("file_read_real").Real(), 2.5);
  EXPECT_EQ(Call("file_eof").Real(), 0);
  EXPECT_EQ(Call("file_read_string").Text(), "") << "the rest of the number's line";
  EXPECT_EQ(Call("file_read_string").Text(), "x");
  EXPECT_EQ(Call("file_eof").Real(), 1) << "the read ran into the end";
  EXPECT_EQ(Call("file_readln").Text(), "");
  EXPECT_THAT(Call("file_write_string", {"no"}).error, HasSubstr("File not opened for writing."));
  Call("file_close");

  Put(Game("n.txt"), "7");
  Call("file_open_read", {"n.txt"});
  EXPECT_EQ(Call("file_eof").Real(), 0);
  EXPECT_EQ(Call("file_read_real").Real(), 7);
  EXPECT_EQ(Call("file_eof").Real(), 1) << "the number ended at the end";
  Call("file_open_read", {"missing.txt"});  // closes the current file first
  EXPECT_THAT(Call("file_eof").error, HasSubstr("File is not opened for reading."));
}

}  // namespace
