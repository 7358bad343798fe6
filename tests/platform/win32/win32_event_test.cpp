// The Windows events: the system's own handles, spent ones handed out again.
#include "platform/event.h"

#include <gtest/gtest.h>

namespace {

class Win32Events : public ::testing::Test {
 protected:
  EventService& events = SystemEvents();
};

// A spent event (its one signal taken by a wait) comes back reset; one whose
// wait ran out is never handed out again.
TEST_F(Win32Events, OnlySpentEventsComeBack) {
  const EventHandle spent = events.CreateEvent();
  events.SetEvent(spent);
  ASSERT_EQ(events.WaitForSingleObject(spent, 0), WaitResult::Signalled);
  events.CloseHandle(spent);
  const EventHandle again = events.CreateEvent();
  EXPECT_EQ(again, spent);
  EXPECT_EQ(events.WaitForSingleObject(again, 0), WaitResult::TimedOut);
  const EventHandle late = events.CreateEvent();
  ASSERT_EQ(events.WaitForSingleObject(late, 0), WaitResult::TimedOut);
  events.CloseHandle(late);
  events.CloseHandle(again);  // not spent: waited on twice
  const EventHandle fresh = events.CreateEvent();
  EXPECT_NE(fresh, late);
  events.CloseHandle(fresh);
}

}  // namespace
