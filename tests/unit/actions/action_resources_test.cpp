// The replace actions: they take the new file's pixels or samples and keep
// every setting of the resource they replace.
#include "actions/action_group.h"
#include "actions/actions.h"
#include "audio/audio.h"
#include "audio/legacy_sound.h"
#include "unit/sprites/image_files.h"

namespace {

using namespace imagefiles;

class ResourceActions : public ImageLoading {
 protected:
  void SetUp() override {
    ImageLoading::SetUp();
    InitActionFunctions();
  }
  void TearDown() override {
    Sound_FreeAll();
    ImageLoading::TearDown();
  }
};

TEST_F(ResourceActions, ReplacingASpriteKeepsItsFlagsAndOrigin) {
  Write("a.png", MarkedPng(4, 4));
  Write("b.png", MarkedPng(30, 7));
  const int index = FileSprite("a.png");
  CSprite* s = Sprite_Get(index);
  // Settings no load from a file would give.
  s->precise = false;
  s->transparent = false;
  s->smooth = true;
  s->preload = false;
  s->xOrigin = 5;
  s->yOrigin = -3;

  const Outcome out = Call("action_replace_sprite", {index, "b.png", 2.5});
  EXPECT_FALSE(out.reported) << out.report;
  s = Sprite_Get(index);
  EXPECT_EQ(s->frameCount, 2);
  EXPECT_EQ(s->width, 15);
  EXPECT_EQ(s->height, 7);
  EXPECT_FALSE(s->precise);
  EXPECT_FALSE(s->transparent);
  EXPECT_TRUE(s->smooth);
  EXPECT_EQ(s->xOrigin, 5);
  EXPECT_EQ(s->yOrigin, -3);
  // Not transparent: a plain copy of the file's pixels.
  EXPECT_EQ(s->bitmaps[1].At(14, 6), Marked(29, 6));
}

TEST_F(ResourceActions, ReplacingABackgroundKeepsItsFlags) {
  Write("a.png", MarkedPng(4, 4));
  Write("b.png", MarkedPng(9, 2));
  const int index = Background_Add("a.png", true, true, false);
  ASSERT_GE(index, 0);
  const Outcome out = Call("action_replace_background", {index, "b.png"});
  EXPECT_FALSE(out.reported) << out.report;
  const CBackgroundImage* b = Background_Get(index);
  EXPECT_EQ(b->GetWidth(), 9);
  EXPECT_TRUE(b->GetTransparent());
  EXPECT_TRUE(b->GetSmooth());
  EXPECT_FALSE(b->GetPreload());
}

TEST_F(ResourceActions, ReplacingASoundKeepsItsKindAndPreload) {
  Write("one.wav", {'R', 'I', 'F', 'F', 1});
  Write("two.wav", {'R', 'I', 'F', 'F', 2, 2});
  const int index = Sound_Add("one.wav", 2, false);
  ASSERT_GE(index, 0);
  const Outcome out = Call("action_replace_sound", {index, "two.wav"});
  EXPECT_FALSE(out.reported) << out.report;
  const CSound* s = Sound_Get(index);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->file_name, "two.wav");
  EXPECT_EQ(s->kind, 2);
  EXPECT_FALSE(s->preload);
  ASSERT_NE(s->file_stream, nullptr);
  EXPECT_EQ(s->file_stream->size(), 6u);
}

TEST_F(ResourceActions, AMissingResourceOrFileIsReportedAndNothingChanges) {
  Write("a.png", MarkedPng(4, 4));
  Write("one.wav", {'R', 'I', 'F', 'F', 1});
  const int sprite = FileSprite("a.png");
  const int background = Background_Add("a.png", false, false, true);
  const int sound = Sound_Add("one.wav", 0, false);
  struct Case {
    const char* action;
    int index;
    const char* file;
    const char* report;
  };
  const Case cases[] = {
      {"action_replace_sprite", sprite + 1, "a.png", "Trying to replace non-existing resource."},
      {"action_replace_sprite", sprite, "none.png", "File does not exist."},
      {"action_replace_background", background + 1, "a.png", "Trying to replace non-existing resource."},
      {"action_replace_background", background, "none.png", "File does not exist."},
      {"action_replace_sound", sound + 1, "one.wav", "Trying to replace non-existing resource."},
      {"action_replace_sound", sound, "none.wav", "File does not exist."},
      {"action_replace_sound", -1, "one.wav", "Trying to replace non-existing resource."},
  };
  for (const Case& c : cases) {
    const Outcome out = Call(c.action, {c.index, c.file, 1});
    EXPECT_TRUE(out.reported) << c.action << " " << c.file;
    EXPECT_NE(out.report.find(c.report), std::string::npos) << c.action << ": " << out.report;
  }
  EXPECT_EQ(Sprite_Get(sprite)->width, 4);
  EXPECT_EQ(Background_Get(background)->GetWidth(), 4);
  EXPECT_EQ(Sound_Get(sound)->file_name, "one.wav");
}

}  // namespace
