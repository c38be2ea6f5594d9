#include "publish/upload.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "fakes/recording_ftp_control.h"
#include "fakes/recording_window.h"

namespace catpub::publish {
namespace {

using testing::RecordingFtpControl;
using testing::RecordingWindow;
using Calls = std::vector<std::string>;

const FtpAccount kAccount{"192.0.2.7", "tester", "Test0nlyPassw0rd"};

Calls PublishCalls(const std::string& dir) {
  return {"SetHostname(192.0.2.7)", "SetUsername(tester)", "SetPassword(Test0nlyPassw0rd)",
          "SetPassive(1)",          "Connect()",           "ChangeRemoteDir(" + dir + ")"};
}

Calls Concat(Calls head, const Calls& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const char kPut[] = "PutFile(C:\\orbis\\articoli.csv, articoli.csv)";

// The failure as the run reports it; empty when there is none.
std::string Reported(const UploadOutcome& outcome) {
  return outcome.failure ? ReportLine(*outcome.failure) : "";
}

TEST(UploadArticlesTest, WithoutAnExportOnlyProcessesEventsAndUnloads) {
  RecordingFtpControl ftp;
  RecordingWindow window;
  UploadOutcome outcome = UploadArticles(false, 12, kAccount, ftp, window);
  EXPECT_TRUE(ftp.calls().empty());
  EXPECT_EQ(window.calls(), (Calls{"ProcessPendingEvents()", "DisableTimer2()", "Unload()"}));
  EXPECT_EQ(outcome.result, UploadResult::kNothingToUpload);
  EXPECT_EQ(Reported(outcome), "");
}

TEST(UploadArticlesTest, PublishesIntoTheActivitysDirectoryInTheProgramsOrder) {
  RecordingFtpControl ftp;
  RecordingWindow window;
  size_t ftp_calls_at_events = 0;
  window.on_process_pending_events = [&] { ftp_calls_at_events = ftp.calls().size(); };
  UploadOutcome outcome = UploadArticles(true, 12, kAccount, ftp, window);
  EXPECT_EQ(ftp.calls(), Concat(PublishCalls("/var/www/vellum/orbis/12"), {kPut}));
  EXPECT_EQ(window.calls(), (Calls{"ProcessPendingEvents()", "DisableTimer2()", "Unload()"}));
  EXPECT_EQ(ftp_calls_at_events, ftp.calls().size()) << "events are processed after the upload";
  EXPECT_EQ(outcome.result, UploadResult::kUploaded);
  EXPECT_EQ(Reported(outcome), "");
}

TEST(UploadArticlesTest, DirectoryIsThePrefixAndTheDecimalActivityCode) {
  const struct {
    int32_t codattiv;
    const char* dir;
  } cases[] = {
      {0, "/var/www/vellum/orbis/0"},
      {12, "/var/www/vellum/orbis/12"},
      {-5, "/var/www/vellum/orbis/-5"},
      {INT32_MIN, "/var/www/vellum/orbis/-2147483648"},
      {INT32_MAX, "/var/www/vellum/orbis/2147483647"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RemoteDirectory(c.codattiv), c.dir);
    RecordingFtpControl ftp;
    RecordingWindow window;
    UploadArticles(true, c.codattiv, kAccount, ftp, window);
    EXPECT_EQ(ftp.calls(), Concat(PublishCalls(c.dir), {kPut})) << c.codattiv;
  }
}

TEST(UploadArticlesTest, AnyNonZeroDirectoryResultIsSuccess) {
  for (int32_t result : {1, 2, -1, INT32_MIN}) {
    RecordingFtpControl ftp;
    ftp.change_dir_result = result;
    RecordingWindow window;
    UploadOutcome outcome = UploadArticles(true, 7, kAccount, ftp, window);
    EXPECT_EQ(ftp.calls(), Concat(PublishCalls("/var/www/vellum/orbis/7"), {kPut})) << result;
    EXPECT_EQ(outcome.result, UploadResult::kUploaded);
  }
}

TEST(UploadArticlesTest, AFailedChangeIsAnsweredByCreateThenTheUpload) {
  for (int32_t created : {1, 0}) {
    RecordingFtpControl ftp;
    ftp.change_dir_result = 0;
    ftp.create_dir_result = created;
    RecordingWindow window;
    UploadOutcome outcome = UploadArticles(true, 12, kAccount, ftp, window);
    EXPECT_EQ(ftp.calls(), Concat(PublishCalls("/var/www/vellum/orbis/12"),
                                  {"CreateRemoteDir(/var/www/vellum/orbis/12)", kPut}));
    // The upload decides: a directory that could not be created but exists after all is no failure.
    EXPECT_EQ(outcome.result, UploadResult::kUploaded);
    EXPECT_EQ(window.calls(), (Calls{"ProcessPendingEvents()", "DisableTimer2()", "Unload()"}));
  }
}

TEST(UploadArticlesTest, ConnectionOtherThanExactlyOneStopsBeforeAnyDirectoryCall) {
  for (int32_t result : {0, -1, 2, INT32_MAX}) {
    RecordingFtpControl ftp;
    ftp.connect_result = result;
    RecordingWindow window;
    UploadOutcome outcome = UploadArticles(true, 12, kAccount, ftp, window);
    Calls expected = PublishCalls("");
    expected.pop_back();
    EXPECT_EQ(ftp.calls(), expected) << result;
    EXPECT_EQ(window.calls(), (Calls{"DisableTimer2()", "Unload()"}));
    EXPECT_EQ(outcome.result, UploadResult::kFailed);
    EXPECT_EQ(Reported(outcome), "ERRORE : FTP CONNESSIONE NON RIUSCITA : Connect() failed");
  }
}

TEST(UploadArticlesTest, AFailedUploadIsReportedAfterTheWindowIsUnloaded) {
  RecordingFtpControl ftp;
  ftp.put_file_result = 0;
  RecordingWindow window;
  UploadOutcome outcome = UploadArticles(true, 12, kAccount, ftp, window);
  EXPECT_EQ(window.calls(), (Calls{"ProcessPendingEvents()", "DisableTimer2()", "Unload()"}));
  EXPECT_EQ(outcome.result, UploadResult::kFailed);
  EXPECT_EQ(Reported(outcome), "ERRORE : FTP INVIO DI C:\\orbis\\articoli.csv NON RIUSCITO : " +
                                   std::string(kPut) + " failed");
}

TEST(UploadArticlesTest, AnUploadFailingAfterAFailedCreateReportsTheDirectory) {
  RecordingFtpControl ftp;
  ftp.change_dir_result = 0;
  ftp.create_dir_result = 0;
  ftp.put_file_result = 0;
  RecordingWindow window;
  UploadOutcome outcome = UploadArticles(true, -5, kAccount, ftp, window);
  EXPECT_EQ(outcome.result, UploadResult::kFailed);
  EXPECT_EQ(Reported(outcome),
            "ERRORE : FTP DIRECTORY /var/www/vellum/orbis/-5 NON CREATA : "
            "CreateRemoteDir(/var/www/vellum/orbis/-5) failed "
            "(CAMBIO DIRECTORY : ChangeRemoteDir(/var/www/vellum/orbis/-5) failed)");
}

// A server that stops answering costs one timeout: the step that stalled is the one named, with its
// own failure alone, and nothing more is asked of the server.
TEST(UploadArticlesTest, AServerThatStallsIsAskedNothingMoreAndTheStalledStepIsNamed) {
  const char kDir[] = "/var/www/vellum/orbis/12";
  const struct {
    const char* stalls_at;
    Calls after_change;
    std::string failure;
  } cases[] = {
      {"ChangeRemoteDir",
       {},
       "ERRORE : FTP CAMBIO DIRECTORY /var/www/vellum/orbis/12 NON RIUSCITO : "
       "ChangeRemoteDir(/var/www/vellum/orbis/12) failed"},
      {"CreateRemoteDir",
       {"CreateRemoteDir(/var/www/vellum/orbis/12)"},
       "ERRORE : FTP DIRECTORY /var/www/vellum/orbis/12 NON CREATA : "
       "CreateRemoteDir(/var/www/vellum/orbis/12) failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stalls_at);
    RecordingFtpControl ftp;
    ftp.change_dir_result = 0;
    ftp.create_dir_result = 0;
    ftp.stalls_at = c.stalls_at;
    RecordingWindow window;
    UploadOutcome outcome = UploadArticles(true, 12, kAccount, ftp, window);
    EXPECT_EQ(ftp.calls(), Concat(PublishCalls(kDir), c.after_change));
    EXPECT_EQ(outcome.result, UploadResult::kFailed);
    EXPECT_EQ(Reported(outcome), c.failure);
    EXPECT_EQ(window.calls(), (Calls{"DisableTimer2()", "Unload()"}));
  }
}

}  // namespace
}  // namespace catpub::publish
