// The WebKit surface in a real web view: needs a display (CTest runs it under xvfb-run).
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "gtk/WebKitSurface.h"

namespace twdesktop {
namespace {

namespace fs = std::filesystem;

class TRecordingListener final : public IWebSurfaceListener {
 public:
  void WebViewCreated(bool ASucceeded) override {
    Created.push_back(ASucceeded);
    CreatedInsideStart = CreatedInsideStart || Starting;
  }
  void WebMessageReceived(const std::optional<std::string>& AText) override {
    Messages.push_back(AText);
  }

  bool Starting = false;
  bool CreatedInsideStart = false;
  std::vector<bool> Created;
  std::vector<std::optional<std::string>> Messages;
};

template <typename Predicate>
bool RunUntil(Predicate APredicate) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!APredicate()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    if (!APredicate()) g_usleep(2000);
  }
  return true;
}

// The strip is the box's one label.
GtkWidget* StatusStrip(const TWebKitSurface& ASurface) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(ASurface.Widget()));
  GtkWidget* strip = nullptr;
  for (GList* item = children; item != nullptr; item = item->next) {
    if (GTK_IS_LABEL(item->data)) strip = GTK_WIDGET(item->data);
  }
  g_list_free(children);
  return strip;
}

std::string StatusText(const TWebKitSurface& ASurface) {
  return gtk_label_get_text(GTK_LABEL(StatusStrip(ASurface)));
}

class WebKitSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/twd-surface-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FRoot = pattern;
    FWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(FWindow), 400, 300);
    FSurface = std::make_unique<TWebKitSurface>(
        [this](const std::string& AMessage) { FErrors.push_back(AMessage); });
    gtk_container_add(GTK_CONTAINER(FWindow), FSurface->Widget());
    gtk_widget_show(FWindow);
  }
  void TearDown() override {
    FSurface.reset();
    gtk_widget_destroy(FWindow);
    fs::remove_all(FRoot);
  }

  void Create(const std::string& AFolder) {
    FListener.Starting = true;
    FSurface->StartCreation(AFolder, FListener);
    FListener.Starting = false;
  }

  // Waits for the page's "done" and returns every message before it.
  std::vector<std::optional<std::string>> MessagesUntilDone() {
    const std::optional<std::string> done("done");
    EXPECT_TRUE(RunUntil([&] {
      for (const auto& message : FListener.Messages) {
        if (message == done) return true;
      }
      return false;
    }));
    std::vector<std::optional<std::string>> before;
    for (const auto& message : FListener.Messages) {
      if (message == done) break;
      before.push_back(message);
    }
    FListener.Messages.clear();
    return before;
  }

  fs::path FRoot;
  GtkWidget* FWindow = nullptr;
  std::unique_ptr<TWebKitSurface> FSurface;
  TRecordingListener FListener;
  std::vector<std::string> FErrors;
};

TEST_F(WebKitSurfaceTest, TheStripReadsReadyAndIsReplacedWhole) {
  EXPECT_EQ(StatusText(*FSurface), "  ready");
  GtkWidget* strip = StatusStrip(*FSurface);
  ASSERT_TRUE(RunUntil([&] { return gtk_widget_get_allocated_height(strip) > 1; }));
  EXPECT_EQ(gtk_widget_get_allocated_height(strip), 28);
  FSurface->SetStatusText("  status updated.");
  FSurface->SetStatusText("  CLI not found.");
  EXPECT_EQ(StatusText(*FSurface), "  CLI not found.");
}

TEST_F(WebKitSurfaceTest, CreationIsReportedLaterInAPrivateFolder) {
  const fs::path folder = FRoot / "cache/Tarnwick-twdesktop";
  Create(folder.string());
  EXPECT_TRUE(FListener.Created.empty());
  ASSERT_TRUE(RunUntil([&] { return !FListener.Created.empty(); }));
  EXPECT_EQ(FListener.Created, std::vector<bool>{true});
  EXPECT_FALSE(FListener.CreatedInsideStart);
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(WebKitSurfaceTest, CreationFailsWhereTheFolderCannotBeMade) {
  std::ofstream(FRoot / "file") << "in the way";
  Create((FRoot / "file/Tarnwick-twdesktop").string());
  ASSERT_TRUE(RunUntil([&] { return !FListener.Created.empty(); }));
  EXPECT_EQ(FListener.Created, std::vector<bool>{false});
  EXPECT_FALSE(FListener.CreatedInsideStart);
  // Nothing to show a page in, and nothing breaks when asked to.
  FSurface->NavigateToHtml("<script>window.chrome.webview.postMessage('done')</script>");
  FSurface->ExecuteScript("1");
  FSurface->PostWebMessage("x");
  for (int i = 0; i < 50; ++i) g_main_context_iteration(nullptr, FALSE);
  EXPECT_TRUE(FListener.Messages.empty());
  EXPECT_EQ(StatusText(*FSurface), "  ready");
}

TEST_F(WebKitSurfaceTest, MessagesTravelBothWaysAsStrings) {
  Create((FRoot / "data").string());
  ASSERT_TRUE(RunUntil([&] { return !FListener.Created.empty(); }));
  FSurface->NavigateToHtml(R"(<!doctype html><meta charset="utf-8"><script>
    const webview = window.chrome.webview;
    const echo = (e) => webview.postMessage(typeof e.data + ':' + e.data);
    webview.addEventListener('message', echo);
    webview.postMessage('{"action":"ready"}');
    webview.postMessage({action: 'ready'});
    webview.postMessage(42);
    webview.postMessage('');
    // Straight to the handler, without the bridge: a subframe could do this, so it must not
    // count.
    window.webkit.messageHandlers.twdesktop.postMessage('forged');
    window.webkit.messageHandlers.twdesktop.postMessage(['guessed', 'forged']);
    webview.postMessage('done');
  </script>)");
  const std::vector<std::optional<std::string>> fromPage = MessagesUntilDone();
  const std::vector<std::optional<std::string>> expected = {
      std::string(R"({"action":"ready"})"), std::nullopt, std::nullopt, std::string()};
  EXPECT_EQ(fromPage, expected);

  // Texts that would break a script if pasted in unescaped arrive unchanged.
  const std::string tricky = "say \"hi\" \\ 'there'\n</script>\u2028end";
  FSurface->PostWebMessage(tricky);
  FSurface->ExecuteScript("window.chrome.webview.postMessage('done')");
  EXPECT_EQ(MessagesUntilDone(), std::vector<std::optional<std::string>>{"string:" + tricky});
  EXPECT_TRUE(FErrors.empty());
}

TEST_F(WebKitSurfaceTest, ThePageCannotNavigateAwayOrReplaceTheBridge) {
  Create((FRoot / "data").string());
  ASSERT_TRUE(RunUntil([&] { return !FListener.Created.empty(); }));
  FSurface->NavigateToHtml(R"(<!doctype html><script>
    const post = (text) => window.chrome.webview.postMessage(text);
    window.chrome = {webview: {postMessage() {}}};
    window.chrome.webview = null;
    const frame = document.createElement('iframe');
    document.documentElement.append(frame);
    post('frame has bridge: ' + !!(frame.contentWindow.chrome && frame.contentWindow.chrome.webview));
    post('before');
    location.href = 'https://example.invalid/away';
    setTimeout(() => post('done'), 500);
  </script>)");
  const std::vector<std::optional<std::string>> fromPage = MessagesUntilDone();
  const std::vector<std::optional<std::string>> expected = {std::string("frame has bridge: false"),
                                                            std::string("before")};
  EXPECT_EQ(fromPage, expected);
}

}  // namespace
}  // namespace twdesktop

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(nullptr, nullptr)) {
    (void)std::fprintf(stderr, "no display: run under xvfb-run\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
