#include "platform/Notifier.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using test::Cat;
using test::S;

TEST(NotifierTest, EachKindHasItsCaptionIconAndButtons) {
  RecordingNotifier recorder;
  ScopedNotifier scope(&recorder);
  Warn(S("警告です"));
  recorder.QueueAnswer(true);
  EXPECT_TRUE(Ask(S("よろしいですか？")));
  Info(S("完了しました。"));
  Error(S("内部エラー"));
  Alert(S("メモリが足りません。"));

  const auto& e = recorder.Entries();
  ASSERT_EQ(e.size(), 5u);
  struct Expected {
    const char* caption;
    MessageIcon icon;
    MessageButtons buttons;
    const char* text;
  };
  const Expected expected[] = {
      {"注意", MessageIcon::kWarning, MessageButtons::kOk, "警告です"},
      {"確認", MessageIcon::kQuestion, MessageButtons::kYesNo, "よろしいですか？"},
      {"確認", MessageIcon::kInformation, MessageButtons::kOk, "完了しました。"},
      {"エラー", MessageIcon::kError, MessageButtons::kOk, "内部エラー"},
      {"注意", MessageIcon::kNone, MessageButtons::kOk, "メモリが足りません。"},
  };
  for (std::size_t i = 0; i < e.size(); ++i) {
    SCOPED_TRACE(expected[i].text);
    EXPECT_FALSE(e[i].beep);
    // Captions and texts are CP932 bytes, like every text of the engine.
    EXPECT_EQ(e[i].box.caption, S(expected[i].caption));
    EXPECT_EQ(e[i].box.text, S(expected[i].text));
    EXPECT_EQ(e[i].box.icon, expected[i].icon);
    EXPECT_EQ(e[i].box.buttons, expected[i].buttons);
  }
  EXPECT_EQ(recorder.BeepCount(), 0);
}

TEST(NotifierTest, QuestionsTakeQueuedAnswersInOrderThenNo) {
  RecordingNotifier recorder;
  ScopedNotifier scope(&recorder);
  recorder.QueueAnswer(true);
  recorder.QueueAnswer(false);
  recorder.QueueAnswer(true);
  EXPECT_TRUE(Ask("1"));
  // An OK box does not use up an answer.
  Warn("w");
  Info("i");
  EXPECT_FALSE(Ask("2"));
  EXPECT_TRUE(Ask("3"));
  EXPECT_FALSE(Ask("4"));
  EXPECT_FALSE(Ask("5"));
  EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"1", "w", "i", "2", "3", "4", "5"}));
}

TEST(NotifierTest, BeepsAreRecordedApartFromTexts) {
  RecordingNotifier recorder;
  ScopedNotifier scope(&recorder);
  Beep();
  Warn(S("見つかりません"));
  Beep();
  EXPECT_EQ(recorder.BeepCount(), 2);
  ASSERT_EQ(recorder.Entries().size(), 3u);
  EXPECT_TRUE(recorder.Entries()[0].beep);
  EXPECT_FALSE(recorder.Entries()[1].beep);
  // Texts are handed back in UTF-8.
  EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"見つかりません"});

  recorder.QueueAnswer(true);
  recorder.Clear();
  EXPECT_TRUE(recorder.Entries().empty());
  EXPECT_EQ(recorder.BeepCount(), 0);
  // Clearing drops the queued answers too.
  EXPECT_FALSE(Ask("q"));
}

TEST(NotifierTest, ScopedNotifierRestoresThePreviousOne) {
  Notifier* const outside = &CurrentNotifier();
  // Until one is installed, the standard-error notifier is in force.
  EXPECT_NE(dynamic_cast<StderrNotifier*>(outside), nullptr);
  RecordingNotifier outer;
  RecordingNotifier inner;
  {
    ScopedNotifier outerScope(&outer);
    EXPECT_EQ(&CurrentNotifier(), &outer);
    {
      ScopedNotifier innerScope(&inner);
      EXPECT_EQ(&CurrentNotifier(), &inner);
      Warn("to inner");
    }
    EXPECT_EQ(&CurrentNotifier(), &outer);
    Warn("to outer");
  }
  EXPECT_EQ(&CurrentNotifier(), outside);
  EXPECT_EQ(inner.Texts(), std::vector<std::string>{"to inner"});
  EXPECT_EQ(outer.Texts(), std::vector<std::string>{"to outer"});
}

TEST(NotifierTest, SetNotifierReturnsThePreviousAndNullRestoresTheDefault) {
  RecordingNotifier recorder;
  Notifier* previous = SetNotifier(&recorder);
  EXPECT_EQ(previous, nullptr);
  EXPECT_EQ(&CurrentNotifier(), &recorder);
  EXPECT_EQ(SetNotifier(nullptr), &recorder);
  EXPECT_NE(dynamic_cast<StderrNotifier*>(&CurrentNotifier()), nullptr);
}

TEST(NotifierTest, StderrNotifierPrintsUtf8AndAnswersNo) {
  StderrNotifier notifier;
  ScopedNotifier scope(&notifier);
  testing::internal::CaptureStderr();
  Warn(S("ファイルが見つかりません。"));
  bool answer = Ask(S("上書きしますか？"));
  Beep();
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(answer);
  EXPECT_EQ(printed, "ファイルが見つかりません。\n上書きしますか？\n");
}

// What an outcome is about goes with its own (last) message: korvel-cli prints it on the line
// before, after its name; a recorder keeps it in the box; the texts stay as they were.
TEST(NotifierTest, AnOutcomesSubjectGoesWithItsLastMessage) {
  const Status status = Status(-1, MessageKind::kAlert, S("メモリ"))
                            .Then(Status::Warning(-1, S("読込できないファイルです。")))
                            .About("右: /d/b?.csv");
  EXPECT_EQ(status.Subject(), "右: /d/b?.csv");
  EXPECT_EQ(Status(-1).About("左: /x").Subject(), "");  // no message, no subject
  // A later step's messages take the subject's place; a silent one leaves it.
  EXPECT_EQ(Status(status).Then(Status::Warning(-1, S("次"))).Subject(), "");
  EXPECT_EQ(Status(status).Then(Status(-2)).Subject(), "右: /d/b?.csv");

  RecordingNotifier recorder;
  ShowStatus(recorder, status);
  ASSERT_EQ(recorder.Entries().size(), 2u);
  EXPECT_EQ(recorder.Entries()[0].box.subject, "");
  EXPECT_EQ(recorder.Entries()[1].box.subject, "右: /d/b?.csv");
  EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"メモリ", "読込できないファイルです。"}));

  for (const char* program : {"korvel-cli", ""}) {
    StderrNotifier notifier(program);
    testing::internal::CaptureStderr();
    ShowStatus(notifier, status);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              Cat("メモリ\n", *program ? "korvel-cli: " : "", "右: /d/b?.csv\n",
                  "読込できないファイルです。\n"));
  }
}

// An engine outcome is shown message by message, in its order, each with the box of its
// kind; a beep takes its place among them.
TEST(NotifierTest, ShowStatusShowsEveryMessageInOrder) {
  RecordingNotifier recorder;
  const Status status = Status::Beeped(-1)
                            .Then(Status::Warning(-1, S("警告")))
                            .Then(Status(-1, MessageKind::kAlert, S("メモリ")))
                            .Then(Status(-1, MessageKind::kError, S("内部")))
                            .Then(Status::Notice(S("完了")));
  ShowStatus(recorder, status);
  const auto& e = recorder.Entries();
  ASSERT_EQ(e.size(), 5u);
  EXPECT_TRUE(e[0].beep);
  struct Expected {
    const char* caption;
    MessageIcon icon;
    const char* text;
  };
  const Expected expected[] = {
      {"注意", MessageIcon::kWarning, "警告"},
      {"注意", MessageIcon::kNone, "メモリ"},
      {"エラー", MessageIcon::kError, "内部"},
      {"確認", MessageIcon::kInformation, "完了"},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(expected[i].text);
    const RecordingNotifier::Entry& entry = e[i + 1];
    EXPECT_FALSE(entry.beep);
    EXPECT_EQ(entry.box.caption, S(expected[i].caption));
    EXPECT_EQ(entry.box.icon, expected[i].icon);
    EXPECT_EQ(entry.box.buttons, MessageButtons::kOk);
    EXPECT_EQ(entry.box.text, S(expected[i].text));
  }
  // The process-wide notifier had no part in it.
  EXPECT_NE(&CurrentNotifier(), &recorder);
}

// The prompter over a notifier: questions with Yes and No, told messages as their boxes.
TEST(NotifierTest, NotifierPrompterAsksAndTellsThroughItsNotifier) {
  RecordingNotifier recorder;
  NotifierPrompter prompter(recorder);
  recorder.QueueAnswer(true);
  EXPECT_TRUE(prompter.Confirm(S("上書きしますか？")));
  EXPECT_FALSE(prompter.Confirm(S("上書きしますか？")));  // no answer queued: No
  prompter.Tell({MessageKind::kWarning, S("多すぎます")});
  prompter.TellAll(Status::Beeped(-1).Then(Status::Warning(-1, S("次"))));
  ASSERT_EQ(recorder.Entries().size(), 5u);
  EXPECT_EQ(recorder.Entries()[0].box.caption, S("確認"));
  EXPECT_EQ(recorder.Entries()[0].box.icon, MessageIcon::kQuestion);
  EXPECT_EQ(recorder.Entries()[0].box.buttons, MessageButtons::kYesNo);
  EXPECT_EQ(recorder.Entries()[2].box.icon, MessageIcon::kWarning);
  EXPECT_TRUE(recorder.Entries()[3].beep);
  EXPECT_EQ(recorder.Texts(),
            (std::vector<std::string>{"上書きしますか？", "上書きしますか？", "多すぎます", "次"}));

  // korvel-cli's: printed, and answered No.
  StderrNotifier printer;
  NotifierPrompter cli(printer);
  testing::internal::CaptureStderr();
  const bool answer = cli.Confirm(S("上書きしますか？"));
  cli.Tell({MessageKind::kAlert, S("メモリが足りません。")});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "上書きしますか？\nメモリが足りません。\n");
  EXPECT_FALSE(answer);
}

}  // namespace
}  // namespace korvel
