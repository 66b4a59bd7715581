"""The real twdesktop under Xvfb, with the scripted CLI stand-in next to it as `tw`.

Run by CTest (see CMakeLists.txt here), or by hand:
    TWDESKTOP=build/gtk/bin/twdesktop FAKE_TW=build/gtk/bin/fake-tw E2E_OUT=/tmp/e2e \
        /usr/bin/python3 tests/e2e/test_app.py
"""

import json
import os
import stat
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import App, Session, wait_until  # noqa: E402

TWDESKTOP = os.environ.get("TWDESKTOP", "")
FAKE_TW = os.environ.get("FAKE_TW", "")
OUT_DIR = os.environ.get("E2E_OUT") or tempfile.mkdtemp(prefix="twd-e2e-out-")
SESSION = None


def setUpModule():
    global SESSION
    if not (os.access(TWDESKTOP, os.X_OK) and os.access(FAKE_TW, os.X_OK)):
        raise RuntimeError("set TWDESKTOP and FAKE_TW to the built programs")
    SESSION = Session(OUT_DIR).__enter__()


def tearDownModule():
    if SESSION is not None:
        SESSION.close()


def node(id_, name, **members):
    return {"id": id_, "name": name, "ref": "v1.0", "branch": "v1.0", **members}


def document(value):
    return json.dumps(value) + "\n"


CORE_GRAPH = {"nodes": [node("core", "Core", root=True, ref="v2.1.0", branch="main"),
                        node("ui", "Ui", dirty=True, ahead=2),
                        node("net", "Net"),
                        node("store", "Store", missing=True)]}
WORKSPACES = {"workspaces": [{"id": "alpha", "name": "Alpha"}, {"id": "beta", "name": "Beta"},
                             {"id": "gamma", "name": "Gamma"}]}


def scenario(*rules, status=CORE_GRAPH, sweep_delay_ms=0):
    """The stand-in's answers: the given rules first, then a workspace that knows three
    workspaces, whose own status is `status`, and whose per-workspace statuses differ."""
    return {"rules": [
        *rules,
        {"args": "workspace list --json", "output": "workspaces:\n" + document(WORKSPACES)},
        {"args": "workspace status --json", "output": document(status)},
        {"args": "workspace status alpha --json", "delay_ms": sweep_delay_ms,
         "output": document({"nodes": [node("a", "AlphaRoot", root=True, dirty=True)]})},
        {"args": "workspace status beta --json", "delay_ms": sweep_delay_ms,
         "output": document({"nodes": [node("b", "BetaRoot", root=True)]})},
        {"args": "workspace status gamma --json", "delay_ms": sweep_delay_ms,
         "output": document({"nodes": [node("g", "GammaRoot", root=True, missing=True)]})},
    ], "default": {"output": "unknown command\n", "exit": 2}}


def running(pid):
    """True while the process exists and has not ended (a zombie has ended)."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def start(**options):
    return App(SESSION, TWDESKTOP, FAKE_TW, **options)


class StartUpTest(unittest.TestCase):
    def test_the_cli_is_asked_for_list_and_status_then_each_workspace_in_turn(self):
        with start(scenario=scenario(sweep_delay_ms=700)) as app:
            # Each sweep run takes 700 ms. When a sweep command line shows up, the run before it
            # must be over: runs that overlapped would find it still sleeping.
            overlapping = []

            def sweep_of(log):
                return [e for e in log if e["args"][:2] == ["workspace", "status"] and
                        e["args"][2] != "--json"]

            def five_commands():
                log = app.log()
                sweep = sweep_of(log)
                for earlier, later in zip(sweep, sweep[1:]):
                    if later["pid"] not in [pid for pid, _ in overlapping] and running(
                            earlier["pid"]):
                        overlapping.append((later["pid"], " ".join(earlier["args"])))
                return len(log) >= 5
            wait_until(five_commands, interval=0.02, what="five command lines")
            log = app.log()
            commands = [" ".join(entry["args"]) for entry in log]
            # The list and the status run side by side, so the sweep that the list starts may
            # overtake the status; the sweep itself goes through the list in order.
            sweep = [" ".join(entry["args"]) for entry in sweep_of(log)]
            self.assertEqual(sweep, ["workspace status alpha --json",
                                     "workspace status beta --json",
                                     "workspace status gamma --json"])
            self.assertCountEqual([c for c in commands if c not in sweep],
                                  ["workspace list --json", "workspace status --json"])
            self.assertLess(commands.index("workspace list --json"), commands.index(sweep[0]))
            self.assertEqual({entry["cwd"] for entry in log}, {app.workspace})
            self.assertEqual(overlapping, [], "a sweep run started while another still ran")

            app.wait_status("  status updated.")
            app.find(text="★ Core")
            text = app.page_text()
            for piece in ("Alpha", "Beta", "Gamma", "modules/ui", "dirty", "missing"):
                self.assertIn(piece, text)

            # The web view keeps its data in a folder for this user and this executable alone.
            data = os.path.join(app.home, ".cache", "Tarnwick-twdesktop")
            self.assertTrue(os.path.isdir(data))
            self.assertEqual(stat.S_IMODE(os.stat(data).st_mode), 0o700)

            # Keep a picture of the whole window for a person to look at, once it shows the
            # sweep's outcome: the active row's brand-blue edge, alpha's dot amber (dirty) and
            # beta's green (clean); gamma's (missing) is grey like a dot without a state.
            sidebar = (0, 36, 188, 120)

            def shows_the_sweep(path):
                return all(app.colour_pixels(path, sidebar, colour) >= 8
                           for colour in ("#3b82f6", "#f59e0b", "#10b981"))
            path = app.wait_painted("graph.png", shows_the_sweep)
            print(f"\nscreenshot of the loaded graph: {path}", file=sys.stderr)

            # The window: its caption, a 900 by 560 client area centred on the 1280 by 800
            # screen, and a lower limit of 680 by 420 for a window manager to keep (without
            # one, on Xvfb, the outer size is the client area).
            self.assertIn("Tarnwick Desktop - standalone workspace app", app.window_titles())
            self.assertEqual(app.geometry(), (190, 120, 900, 560))
            self.assertEqual(app.minimum_size(), (680, 420))

    def test_the_strip_and_the_page_tell_why_there_is_no_graph(self):
        cases = [
            # (case, App options, status strip, texts the page must show)
            ("no CLI next to the program", {"cli": False}, "  CLI not found.",
             ["tw not found", "Place tw in the same folder as the app."]),
            ("CLI asks for a sign-in",
             {"scenario": {"rules": [], "default": {
                 "output": "Not signed in. Run: tw login --token <TOKEN>\n", "exit": 1}}},
             "  status: no data.", ["You are not logged in", "manifest:read"]),
            ("folder without a workspace",
             {"scenario": {"rules": [], "default": {"output": "no workspace here\n"}}},
             "  status: no data.", ["No workspace cloned here", "+ Clone workspace"]),
        ]
        for case, options, expected_status, page_texts in cases:
            with self.subTest(case), start(**options) as app:
                app.wait_status(expected_status)
                for piece in page_texts:
                    app.find(text=piece)
                signed_out = case == "CLI asks for a sign-in"
                self.assertEqual(bool(app.find_all(role="password text")), signed_out)


class ActionsTest(unittest.TestCase):
    def test_buttons_and_rows_reach_the_cli(self):
        push = {"args": "workspace push", "output": "\n  pushed 1 repo  \nmore\n"}
        with start(scenario=scenario(push)) as app:
            app.wait_status("  status updated.")
            app.wait_log(lambda log: len(log) >= 5, what="the start-up sweep")

            # Refresh: the CLI is asked again, and what it says now becomes the graph.
            changed = {"nodes": [node("core", "Core", root=True), node("extra", "Extra")]}
            app.write_scenario(scenario(push, status=changed))
            app.press("↻ Refresh")
            app.find(text="modules/extra")
            self.assertEqual(app.commands().count("workspace status --json"), 2)
            app.wait_status("  status updated.")

            # A card's "git push": the second card is the module "extra".
            app.press("git push", index=1)
            app.wait_status("  push(extra)  ->    pushed 1 repo  ")
            self.assertEqual(app.commands()[-1], "workspace push")
            # The Result message reached the page: the card's badge now reads "pushed".
            app.find(role="section", text="pushed · modules/extra")

            # A real click on a sidebar row switches the graph to that workspace.
            app.click(app.find(role="section", text="Beta"))
            app.wait_log(lambda log: [e["args"] for e in log].count(
                ["workspace", "status", "beta", "--json"]) == 2, what="the switch to beta")
            app.find(text="BetaRoot")
            app.wait_status("  status updated.")

    def test_signing_in_from_the_card_loads_the_workspace(self):
        signed_out = {"rules": [], "default": {"output": "Not signed in: run tw login\n"}}
        # The sign-in takes a moment, time enough to switch the stand-in to signed-in answers
        # before the list and status that follow it.
        login = {"prefix": "login --token ", "delay_ms": 3000, "output": "Login successful.\n"}
        signed_out["rules"].append(login)
        with start(scenario=signed_out) as app:
            app.wait_status("  status: no data.")
            app.type_into(app.find(role="password text"), ' twk_abc 123"')
            app.key("Return")
            app.wait_log(lambda log: any(e["args"][0] == "login" for e in log), what="login")
            app.write_scenario(scenario(login))
            self.assertIn("login --token twk_abc123", app.commands())
            app.find(text="★ Core")
            app.wait_status("  status updated.")
            self.assertEqual(app.find_all(text="You are not logged in"), [])

    def test_closing_while_the_cli_runs_ends_the_program_at_once(self):
        slow_pull = {"args": "workspace update", "delay_ms": 120000, "output": "Summary: ok\n"}
        with start(scenario=scenario(slow_pull)) as app:
            app.wait_status("  status updated.")
            app.press("↓ Pull")
            app.wait_status("  tw workspace update (pull --ff-only) ...")
            pull = app.wait_log(lambda log: [e for e in log if e["args"] == ["workspace", "update"]],
                                what="the pull")[0]

            code, seconds = app.close_window()
            print(f"\nclosed with a CLI running: exit {code} after {seconds:.2f} s",
                  file=sys.stderr)
            self.assertEqual(code, 0)
            # The CLI sleeps for two minutes: a program that waited for it would still be here.
            self.assertLess(seconds, 5.0)
            # WebKit's helpers end by themselves once the program is gone; the CLI stays.
            wait_until(lambda: SESSION.leftovers() == [(pull["pid"], "fake-tw")] or
                       SESSION.leftovers() == [(pull["pid"], "tw")], timeout=30,
                       what=f"only the CLI to be left, not {SESSION.leftovers()}")


class FailureTest(unittest.TestCase):
    def test_a_web_view_that_cannot_be_made_leaves_the_window_empty_and_quiet(self):
        with tempfile.NamedTemporaryFile(dir=SESSION.scratch) as in_the_way:
            # The data folder would have to be created inside a file.
            with start(scenario=scenario(), env={"XDG_CACHE_HOME": in_the_way.name}) as app:
                app.window_id()
                self.assertEqual(app.wait_status("  ready"), "  ready")
                # Nothing can happen any more; give it the time a start-up takes, then look.
                time.sleep(4)
                self.assertEqual(app.status(), "  ready")
                self.assertEqual(app.log(), [])
                roles = {role for _, role, _, _ in app.nodes()}
                self.assertNotIn("document web", roles)
                self.assertFalse(roles & {"alert", "dialog"})

    def test_an_error_while_the_window_is_made_is_shown_and_the_program_goes_on(self):
        gone = tempfile.mkdtemp(dir=SESSION.scratch)

        def start_in_a_removed_folder():
            os.chdir(gone)
            os.rmdir(gone)
        with start(scenario=scenario(), preexec=start_in_a_removed_folder) as app:
            # The error box: the error's own message, captioned with the program's name.
            app.find(role="alert")
            app.find(role="label", text="cannot get current path")
            wait_until(lambda: "twdesktop" in app.window_titles(), what="the error box's caption")
            app.press("OK")
            self.assertEqual(app.wait_status("  ready"), "  ready")
            app.window_id()
            self.assertEqual(app.log(), [])
            self.assertIsNone(app.process.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
