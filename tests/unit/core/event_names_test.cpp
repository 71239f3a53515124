#include "core/event_names.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
  int type, subtype;
  const char* name;
  const char* shortName;
};

class EventNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(EventNames, LongAndShort) {
  const NameCase& c = GetParam();
  EXPECT_EQ(Event_Name(c.type, c.subtype), c.name);
  EXPECT_EQ(Event_ShortName(c.type, c.subtype), c.shortName);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EventNames,
    ::testing::Values(NameCase{0, 0, "Create Event", "Create"}, NameCase{1, 0, "Destroy Event", "Destroy"},
                      NameCase{2, 11, "Alarm Event for alarm 11", "Alarm 11"},
                      NameCase{3, 1, " Step Event1", "BeginStep"}, NameCase{3, 0, " Step Event0", "Step"},
                      NameCase{3, 2, " Step Event2", "EndStep"},
                      NameCase{5, 65, "Keyboard Event for A-key Key", "A-key"},
                      NameCase{6, 60, "Mouse Event for Mouse Wheel Up", "Mouse Wheel Up"},
                      NameCase{7, 62, "Async Event: HTTP", "HTTP"},
                      NameCase{7, 4, "Other Event: Room Start", "Room Start"},
                      NameCase{7, 59, "Other Event: <unknown>", "<unknown>"},
                      NameCase{8, 64, "Draw Event", "Draw"},
                      NameCase{9, 13, "Key Press Event for <Enter> Key", "press <Enter>"},
                      NameCase{10, 112, "Key Release Event for F1 Key", "release F1"},
                      NameCase{11, 0, "<Unknown Event>", "<Unknown Event>"}));

TEST(Names, KeysMouseAndOther) {
  EXPECT_EQ(Key_Name(48), "0-key");
  EXPECT_EQ(Key_Name(96), "Keypad-0");
  EXPECT_EQ(Key_Name(105), "Keypad-9");
  EXPECT_EQ(Key_Name(123), "F12");
  EXPECT_EQ(Key_Name(124), "<unknown>");
  EXPECT_EQ(Key_Name(-5), "<unknown>");
  EXPECT_EQ(MouseEvent_Name(21), "Joystick 1 Button 1");
  EXPECT_EQ(MouseEvent_Name(28), "Joystick 1 Button 8");
  EXPECT_EQ(MouseEvent_Name(34), "Joystick 2 Down");
  EXPECT_EQ(MouseEvent_Name(36), "Joystick 2 Button 1");
  EXPECT_EQ(MouseEvent_Name(35), "<unknown>");
  EXPECT_EQ(MouseEvent_Name(20), "<unknown>");
  EXPECT_EQ(MouseEvent_Name(58), "Glob Middle Released");
  EXPECT_EQ(OtherEvent_Name(25), "User Defined 15");
  EXPECT_EQ(OtherEvent_Name(47), "Outside View 7");
  EXPECT_EQ(OtherEvent_Name(50), "Boundary View 0");
  EXPECT_EQ(AsyncEvent_Name(64), "<unknown>");
}

}  // namespace
