"""A newcomer's first session: the real twdesktop under Xvfb with the real `tw` next to it,
over a demo portal of real git repositories.

Signed out in an empty folder, the user signs in with the demo token, sees the workspace list,
clones a workspace (its progress on the status strip, then its graph), changes a file, sees it
dirty after Refresh, looks at the diff, commits, pushes from the card, and the commit is in the
portal. A screenshot of each main step lands in $JOURNEY_OUT.

Run by CTest (see CMakeLists.txt here), or by hand:
    TWDESKTOP=build/tw/bin/twdesktop TW=build/tw/bin/tw JOURNEY_OUT=/tmp/journey \
        /usr/bin/python3 tests/journey/test_journey.py
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import App, Session, wait_until  # noqa: E402

TWDESKTOP = os.environ.get("TWDESKTOP", "")
TW = os.environ.get("TW", "")
OUT_DIR = os.environ.get("JOURNEY_OUT") or tempfile.mkdtemp(prefix="twd-journey-")
DEMO_TOKEN = "twk_demo_5f2c8e1a9b3d4706"
BRAND = "#3b82f6"  # the page's brand colour: the sign-in button, the root card's border
AMBER = "#f59e0b"  # the dirty badge
EVERYWHERE = (0, 0, 4000, 4000)  # ImageMagick clips the box to the picture


def git(folder, *args):
    return subprocess.run(["git", "-C", folder, *args], check=True, capture_output=True,
                          text=True, env={**os.environ, "GIT_CONFIG_NOSYSTEM": "1"}).stdout.strip()


class Journey(unittest.TestCase):
    def setUp(self):
        if not (os.access(TWDESKTOP, os.X_OK) and os.access(TW, os.X_OK)):
            self.fail("set TWDESKTOP and TW to the built programs")
        self.session = Session(OUT_DIR).__enter__()
        self.addCleanup(self.session.close)
        self.portal = os.path.join(self.session.scratch, "portal")
        self.tw_home = os.path.join(self.session.scratch, "tw-home")
        self.trace = os.path.join(self.session.scratch, "tw-trace.jsonl")
        subprocess.run([TW, "portal", "init", self.portal, "--demo"], check=True,
                       capture_output=True)
        # The demo's repositories are tiny: on a fast machine a whole clone is over before a
        # look at the status strip could see its progress. Each clone step waits a little.
        self.slow_git = os.path.join(self.session.scratch, "slow-git")
        os.makedirs(self.slow_git)
        with open(os.path.join(self.slow_git, "git"), "w") as shim:
            shim.write('#!/bin/sh\ncase " $* " in *" clone "*) sleep 0.5;; esac\n'
                       f'exec {shutil.which("git")} "$@"\n')
        os.chmod(os.path.join(self.slow_git, "git"), 0o755)

    def runs(self):
        """The command lines tw has finished so far, as argument lists."""
        try:
            with open(self.trace) as lines:
                return [json.loads(line)["args"] for line in lines if line.strip()]
        except FileNotFoundError:
            return []

    def runs_since_login(self):
        runs = self.runs()
        return runs[runs.index(["login", "--token", "(hidden)"]):]

    def shot(self, app, name, colour=None, pixels=1):
        """A screenshot once the window shows what the step is about (at least `pixels` of
        `colour` when given): the web view paints well after its scripts have run."""
        if colour is None:
            return app.screenshot(name)
        return app.wait_painted(
            name, lambda path: app.colour_pixels(path, EVERYWHERE, colour) >= pixels)

    @staticmethod
    def clone_menu(app):
        """The clone menu's items as (accessible, text), in order; empty while it is closed.
        (The menu is read rather than the sidebar's rows: WebKit leaves rows that arrive after
        the accessibility tree was first read out of that tree, while the menu's items are new
        each time it opens.)"""
        nodes = app.nodes()
        heads = [i for i, (_, _, _, text) in enumerate(nodes)
                 if text.upper() == "CLONE WHICH WORKSPACE?"]
        if not heads:
            return []
        items = []
        for node, role, name, text in nodes[heads[0] + 1:]:
            if role != "section" or not text:
                break
            items.append((node, text))
        return items

    def test_sign_in_clone_change_diff_commit_and_push(self):
        env = {"TW_PORTAL": self.portal, "TW_HOME": self.tw_home, "TW_TRACE": self.trace,
               "GIT_CONFIG_NOSYSTEM": "1",
               "PATH": self.slow_git + os.pathsep + os.environ.get("PATH", "/usr/bin:/bin")}
        with App(self.session, TWDESKTOP, TW, env=env, workspace_name="journey") as app:
            try:
                self.journey(app)
            except BaseException:
                self.report_failure(app)
                raise

    def report_failure(self, app):
        """What the window showed when a step failed, for the person reading the log."""
        try:
            print(f"\nstatus strip: {app.status()!r}\ntw ran: {self.runs()}\n"
                  f"screenshot: {app.screenshot('journey-failure.png')}", file=sys.stderr)
        except Exception as error:  # the app may be gone; the step's own error matters more
            print(f"\n(no picture of the failure: {error!r})", file=sys.stderr)

    def journey(self, app):
        folder = app.workspace

        # Signed out in an empty folder: the sign-in card.
        app.wait_status("  status: no data.")
        app.find(text="You are not logged in")
        self.shot(app, "journey-1-signed-out.png", BRAND, 200)

        # Sign in with the demo token: the card now says the folder holds no workspace.
        app.type_into(app.find(role="password text"), DEMO_TOKEN)
        app.press("Sign in")
        app.find(text="No workspace cloned here")
        app.wait_status("  status: no data.")
        self.assertTrue(os.path.exists(os.path.join(self.tw_home, "session.json")))
        # The list that the sign-in reloads, and the sweep over each workspace's status.
        wait_until(lambda: self.runs_since_login().count(["workspace", "list", "--json"]) == 1
                   and len([run for run in self.runs_since_login() if len(run) == 4]) == 3,
                   what="the workspace list and its sweep")
        self.shot(app, "journey-2-signed-in.png")

        # The portal's workspaces, as the clone menu lists them; clone Cobalt (a root and
        # eight modules): progress lines on the status strip while it runs, then its graph.
        app.press("+ Clone workspace")
        items = wait_until(lambda: self.clone_menu(app), what="the clone menu")
        self.assertEqual([text for _, text in items], ["Atlas", "Beacon", "Cobalt"])
        app.click(items[2][0])
        app.wait_status(lambda text: text.startswith("  cloning: ["))
        self.shot(app, "journey-3-cloning.png")
        app.wait_status("  cloning: [9/9] cloning modules/docs ...")
        app.find(text="★ cobalt-suite")
        app.wait_status("  status updated.")
        self.assertIn(["workspace", "clone", "cobalt"], self.runs())
        self.assertIn(["workspace", "status", "cobalt", "--json"], self.runs())
        self.assertTrue(os.path.isdir(os.path.join(folder, "modules", "docs", ".git")))
        self.shot(app, "journey-4-cloned.png", BRAND, 200)

        # Change a file: after Refresh its card is dirty.
        parser = os.path.join(folder, "modules", "parser")
        with open(os.path.join(parser, "README.md"), "a") as readme:
            readme.write("\nA line from the journey.\n")
        with open(os.path.join(parser, "NOTES.md"), "w") as notes:
            notes.write("written during the journey\n")
        app.press("↻ Refresh")
        app.find(role="section", text="dirty · modules/parser")
        app.wait_status("  status updated.")
        self.shot(app, "journey-5-dirty.png", AMBER, 20)

        # The diff: the changed line and the new file, then back to the graph.
        app.press("± Diff")
        app.wait_status("  diff loaded.")
        app.find(text="+A line from the journey.")
        app.find(text="+written during the journey")
        self.shot(app, "journey-6-diff.png")
        app.press("✕ Close")

        # Commit with a message typed into the commit bar.
        message = "Note what the journey found"
        app.press("✓ Commit")
        app.type_into(app.find(role="entry", name="Commit message…"), message)
        app.press("Commit")
        wait_until(lambda: ["workspace", "commit", "-m", message] in self.runs(),
                   what="the commit run")
        app.find(role="section", text="clean · modules/parser · ↑1")
        app.wait_status("  status updated.")
        self.assertEqual(git(parser, "log", "-1", "--format=%s"), message)
        self.assertEqual(git(parser, "log", "-1", "--format=%an"), "Dana Demo")
        self.assertEqual(git(parser, "status", "--porcelain"), "")
        self.shot(app, "journey-7-committed.png")

        # Push from the parser card (the second card): the commit lands in the portal.
        app.press("git push", index=1)
        app.wait_status("  push(parser)  ->  Pushed 1 of 9 repositories (modules/parser).")
        bare = os.path.join(self.portal, "repos", "cobalt", "parser.git")
        self.assertEqual(git(bare, "rev-parse", "main"), git(parser, "rev-parse", "HEAD"))
        self.assertEqual(git(bare, "log", "-1", "--format=%s"), message)
        self.shot(app, "journey-8-pushed.png")

        # Every other repository of the portal is as it was made.
        for other in ("runtime", "docs"):
            self.assertEqual(
                git(os.path.join(self.portal, "repos", "cobalt", other + ".git"),
                    "log", "-1", "--format=%an"), "Portal Seed")


if __name__ == "__main__":
    unittest.main(verbosity=2)
