#include "platform/Status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::S;

TEST(StatusTest, MadeWithCodeKindAndText) {
  struct Case {
    const char* what;
    Status status;
    int code;
    bool ok;
    std::vector<Message> messages;
  };
  const std::vector<Case> cases = {
      {"default", Status(), 0, true, {}},
      {"Ok", Status::Ok(), 0, true, {}},
      {"code only", Status(-3), -3, false, {}},
      {"warning",
       Status::Warning(-1, S("保存に失敗しました。")),
       -1,
       false,
       {{MessageKind::kWarning, S("保存に失敗しました。")}}},
      {"notice",
       Status::Notice(S("保存しました。")),
       0,
       true,
       {{MessageKind::kInformation, S("保存しました。")}}},
      {"alert", Status(-9, MessageKind::kAlert, "x"), -9, false, {{MessageKind::kAlert, "x"}}},
      {"beep", Status::Beeped(-4), -4, false, {{MessageKind::kBeep, ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.status.Code(), c.code);
    EXPECT_EQ(c.status.IsOk(), c.ok);
    EXPECT_EQ(c.status.Messages(), c.messages);
    EXPECT_EQ(c.status.HasMessages(), !c.messages.empty());
    EXPECT_EQ(c.status.Text(), c.messages.empty() ? "" : c.messages.back().Text);
  }
}

TEST(StatusTest, ThenKeepsTheOrderAndTakesTheLaterCode) {
  const Status first = Status::Warning(-1, "a");
  const Status joined = first.Then(Status(-9, MessageKind::kAlert, "b")).Then(Status(-2));
  EXPECT_EQ(joined.Code(), -2);
  EXPECT_EQ(joined.Messages(),
            (std::vector<Message>{{MessageKind::kWarning, "a"}, {MessageKind::kAlert, "b"}}));
  EXPECT_EQ(joined.Text(), "b");
  // The status it was made from is left as it was.
  EXPECT_EQ(first, Status::Warning(-1, "a"));

  // Nothing before: the later outcome alone; a failure followed by a success is a success
  // that still tells what went before.
  EXPECT_EQ(Status().Then(Status::Warning(-5, "c")), Status::Warning(-5, "c"));
  const Status recovered = Status::Warning(-1, "d").Then(Status::Ok());
  EXPECT_TRUE(recovered.IsOk());
  EXPECT_EQ(recovered.Text(), "d");
  EXPECT_NE(recovered, Status::Ok());
}

}  // namespace
}  // namespace korvel
