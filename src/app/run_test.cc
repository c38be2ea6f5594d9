#include "app/run.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "fakes/fake_app_platform.h"
#include "fakes/recording_event_log.h"

namespace catpub::app {
namespace {

using Lines = std::vector<std::string>;
using Entry = testing::RecordingEventLog::Entry;
using Entries = std::vector<Entry>;

Entry Information(RunEvent event, const std::string& line) {
  return {platform::EventType::kInformation, static_cast<uint32_t>(event), line};
}
Entry Error(RunEvent event, const std::string& line) {
  return {platform::EventType::kError, static_cast<uint32_t>(event), line};
}

// A shop that is free, or held by another run for longer than a run waits.
class FakeShopLock : public platform::ShopLock {
 public:
  bool held_elsewhere = false;
  std::function<void()> on_take;
  std::optional<FatalError> Take() override {
    if (on_take) on_take();
    if (held_elsewhere) return FatalError("shop busy");
    return std::nullopt;
  }
};

class RunTest : public ::testing::Test, protected testing::FakeAppPlatform {
 protected:
  RunTest() { disk_.folders = {"c:\\orbis\\", "c:\\orbis\\bkp\\"}; }
  ~RunTest() override {
    std::fclose(out_);
    std::fclose(err_);
  }

  // The run's clock moves on 1.35 s at every look.
  ExitStatus RunOnce() {
    auto clock = [now = platform::SteadyTime()]() mutable {
      return now += std::chrono::milliseconds(1350);
    };
    return ExitStatusOf(app::Run(window_, form_, run_log_, lock_, events_, out_, err_, clock));
  }
  static std::string Text(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  std::string Out() { return Text(out_); }
  std::string Err() { return Text(err_); }
  const Lines& Log() { return disk_.Lines("C:\\orbis\\bkp\\logrul3_07122026.txt"); }

  std::FILE* out_ = std::tmpfile();
  std::FILE* err_ = std::tmpfile();
  FakeShopLock lock_;
  testing::RecordingEventLog events_;
  Form1 form_{window_, run_log_, fs_, tables_, {files_, ftp_, {"h", "u", "p"}}};
};

TEST_F(RunTest, APublicationEndsWithStatus0AndSaysWhatItPublished) {
  GoodShop();
  Catalogue({1, 2});
  EXPECT_EQ(RunOnce(), kSuccess);
  EXPECT_EQ(Out(),
            "Pubblicati 2 articoli di C:\\orbis\\articoli.csv sul server h in "
            "/var/www/vellum/orbis/12/articoli.csv, in 1,4 s\n");
  EXPECT_EQ(Err(), "");
  EXPECT_FALSE(files_.IsOpen(2));
  EXPECT_EQ(events_.entries,
            Entries{Information(RunEvent::kPublished, Out().substr(0, Out().size() - 1))});
}

TEST_F(RunTest, NothingToPublishEndsWithStatus0AndSaysNothing) {
  GoodShop();
  EXPECT_EQ(RunOnce(), kSuccess);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Err(), "");
  EXPECT_TRUE(ftp_.calls().empty());
  EXPECT_EQ(events_.entries,
            Entries{Information(RunEvent::kNothingToPublish,
                                "Nessun articolo da pubblicare: la tabella codean di "
                                "C:\\ORBIS\\DATI.MDB è vuota, nulla è stato inviato al server")});
}

TEST_F(RunTest, AFailedUploadIsLoggedAndPrintedWithStatus2ButNotShown) {
  GoodShop();
  Catalogue({1});
  ftp_.connect_result = 0;
  EXPECT_EQ(RunOnce(), kUploadFailed);
  const std::string line = "ERRORE : FTP CONNESSIONE NON RIUSCITA : Connect() failed";
  EXPECT_EQ(Log().back(), line);
  EXPECT_EQ(Err(), line + "\n");
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(window_.calls().back(), "Unload()") << "a message box was shown";
  EXPECT_FALSE(files_.IsOpen(2));
  EXPECT_EQ(events_.entries, Entries{Error(RunEvent::kUploadFailed, line)});
}

TEST_F(RunTest, AConfigurationErrorEndsWithStatus1) {
  EXPECT_EQ(RunOnce(), kConfigurationError);
  EXPECT_EQ(Log(), Lines{"07/12/2026-15:14:07- Avvio programma"});
  EXPECT_EQ(Err(), "");
  EXPECT_EQ(Out(), "") << "a run that published nothing said it did";
  EXPECT_FALSE(files_.IsOpen(2));
  EXPECT_EQ(events_.entries, Entries{Error(RunEvent::kConfigurationError,
                                           "ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE ")});
}

TEST_F(RunTest, AMissingCompanyRowIsAConfigurationErrorThatNamesTheCompanyDatabase) {
  GoodShop();
  tables_.Put("c:\\nodo\\orbis.mdb", "società",
              testing::MemoryTable{{"codute", "database"}, {Row{int32_t{2}, std::string("x")}}});
  EXPECT_EQ(RunOnce(), kConfigurationError);
  EXPECT_EQ(Err(), "");
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(events_.entries,
            Entries{Error(RunEvent::kConfigurationError,
                          "ERRORE : SOCIETA CON CODICE 1 NON ESISTE IN c:\\nodo\\orbis.mdb")});
}

TEST(PublishedLineTest, SaysHowManyArticlesWhereAndHowLong) {
  const Published published{300, "127.0.0.1", "/var/www/vellum/orbis/12/articoli.csv"};
  EXPECT_EQ(PublishedLine(published, std::chrono::milliseconds(1449)),
            "Pubblicati 300 articoli di C:\\orbis\\articoli.csv sul server 127.0.0.1 in "
            "/var/www/vellum/orbis/12/articoli.csv, in 1,4 s");
  EXPECT_EQ(PublishedLine({1, "h", "/d/articoli.csv"}, std::chrono::milliseconds(12050)),
            "Pubblicato 1 articolo di C:\\orbis\\articoli.csv sul server h in /d/articoli.csv, "
            "in 12,1 s");
}

TEST_F(RunTest, AFatalErrorIsLoggedPrintedAndShownWithStatus3) {
  disk_.Put("C:\\NODO\\ORBIS.MDB");  // exists, but holds no società table
  EXPECT_EQ(RunOnce(), kFatal);
  const std::string line = "ERRORE : la tabella società non esiste in c:\\nodo\\orbis.mdb";
  EXPECT_EQ(Log(), (Lines{"07/12/2026-15:14:07- Avvio programma", line}));
  EXPECT_EQ(Err(), line + "\n");
  EXPECT_EQ(window_.calls().back(), "ShowMessage(" + line + ")");
  EXPECT_FALSE(files_.IsOpen(2));
  EXPECT_EQ(events_.entries, Entries{Error(RunEvent::kFatal, line)});
}

// Headless, a message box would only repeat on standard error what the report prints there.
TEST_F(RunTest, AFatalErrorIsNotShownByAHostWithoutMessageBoxes) {
  disk_.Put("C:\\NODO\\ORBIS.MDB");
  window_.shows_message_boxes = false;
  EXPECT_EQ(RunOnce(), kFatal);
  const std::string line = "ERRORE : la tabella società non esiste in c:\\nodo\\orbis.mdb";
  EXPECT_EQ(Err(), line + "\n");
  EXPECT_EQ(Log().back(), line);
  for (const std::string& call : window_.calls()) EXPECT_FALSE(call.starts_with("ShowMessage("));
  EXPECT_EQ(events_.entries, Entries{Error(RunEvent::kFatal, line)});
}

TEST_F(RunTest, AMissingLogFolderIsReportedWithoutALog) {
  disk_.folders = {"c:\\orbis\\"};
  EXPECT_EQ(RunOnce(), kFatal);
  EXPECT_NE(Err().find("ERRORE : impossibile aprire C:\\orbis\\bkp\\logrul3_07122026.txt"),
            std::string::npos);
  EXPECT_TRUE(disk_.files.empty());
  ASSERT_EQ(events_.entries.size(), 1u);
  EXPECT_EQ(events_.entries[0], Error(RunEvent::kFatal, Err().substr(0, Err().size() - 1)));
}

TEST_F(RunTest, AnyExceptionIsAFatalErrorNeverAnAbort) {
  const struct {
    const char* what;
    std::function<void()> fail;
    std::string line;
  } cases[] = {
      {"out of memory", [] { throw std::bad_alloc(); }, "ERRORE : memoria esaurita"},
      {"another exception", [] { throw std::runtime_error("conversion failed"); },
       "ERRORE : errore imprevisto: conversion failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    disk_.files.clear();
    events_.entries.clear();
    std::rewind(err_);
    testing::RecordingWindow window;
    window.on_current_drive = c.fail;
    Form1 form{window, run_log_, fs_, tables_, {files_, ftp_, {"h", "u", "p"}}};
    EXPECT_EQ(ExitStatusOf(app::Run(window, form, run_log_, lock_, events_, out_, err_)), kFatal);
    EXPECT_EQ(Log(), (Lines{c.line}));
    EXPECT_TRUE(Err().starts_with(c.line + "\n")) << Err();
    EXPECT_EQ(window.calls().back(), "ShowMessage(" + c.line + ")");
    EXPECT_FALSE(files_.IsOpen(2));
    EXPECT_EQ(events_.entries, Entries{Error(RunEvent::kFatal, c.line)});
  }
}

TEST_F(RunTest, AShopHeldByAnotherRunIsReportedAndNothingElseHappens) {
  disk_.Put("C:\\orbis\\bkp\\logrul3_07122026.txt", {"the other run"});
  lock_.held_elsewhere = true;
  EXPECT_EQ(RunOnce(), kFatal);
  EXPECT_EQ(Log(), (Lines{"the other run", "ERRORE : shop busy"}));
  EXPECT_EQ(Err(), "ERRORE : shop busy\n");
  EXPECT_TRUE(window_.calls().empty()) << "the window was used";
  EXPECT_EQ(events_.entries, Entries{Error(RunEvent::kShopNotTaken, "ERRORE : shop busy")});
}

TEST_F(RunTest, TheShopIsTakenBeforeTheRunLogIsOpened) {
  int takes = 0;
  lock_.on_take = [&] {
    ++takes;
    EXPECT_TRUE(disk_.files.empty()) << "the run log was touched first";
  };
  EXPECT_EQ(RunOnce(), kConfigurationError);
  EXPECT_EQ(takes, 1);
}

}  // namespace
}  // namespace catpub::app
