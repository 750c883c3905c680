// A made-up run for developing and testing the report viewer: one file of
// every status, retries, a screenshot after every step, a failure with
// candidates, and page texts that look like markup. The boxes match the
// screenshots under sample/ (make-fixtures.js prints them).
window.PLAINSTEP_REPORT = {
  "format": "plainstep-report/1",
  "plainstep": "0.2.0",
  "started": "2026-12-09T06:00:00.123Z",
  "duration_ms": 31874,
  "interrupted": false,
  "root": "/home/ada/shop-tests",
  "options": {"browser": "chromium", "workers": 2, "retries": 1, "shard": "1/2", "timeout_ms": 5000, "base_url": null},
  "counts": {"files": 7, "passed": 2, "failed": 1, "flaky": 1, "skipped": 1, "not_run": 1, "error": 1, "steps": 18},
  "files": [
    {
      "path": "account/delete.steps",
      "url": "https://shop.example/account",
      "tags": [],
      "status": "not_run",
      "error": null,
      "reason": "--max-failures 1 was reached before this file started",
      "duration_ms": 0,
      "attempts": []
    },
    {
      "path": "account/signup.steps",
      "url": "https://shop.example/signup",
      "tags": ["smoke"],
      "status": "error",
      "error": "could not open https://shop.example/signup: the browser would not start (/usr/bin/chromium exited with status 127)",
      "reason": null,
      "duration_ms": 412,
      "attempts": []
    },
    {
      "path": "cart/checkout.steps",
      "url": "https://shop.example/cart",
      "tags": ["cart"],
      "status": "flaky",
      "error": null,
      "reason": null,
      "duration_ms": 9840,
      "attempts": [
        {
          "attempt": 1, "status": "failed", "duration_ms": 7310, "error": null,
          "trace": "traces/cart/checkout.steps-1.zip",
          "steps": [
            {"number": 1, "line": 2, "text": "type ada@example.com into the Email field", "source": "shared/sign-in.steps:2",
             "status": "passed", "duration_ms": 380, "outcome": "typed 'ada@example.com' into input [_label=Email] at (453, 202)",
             "route": "lexical", "element": {"tag": "input", "text": "", "label": "Email", "description": "input [_label=Email] at (453, 202)",
               "box": {"x": 453, "y": 202, "width": 374, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/input[1]"},
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 2, "line": 2, "text": "click Log in", "source": "shared/sign-in.steps:3",
             "status": "passed", "duration_ms": 610, "outcome": "clicked button 'Log in' at (453, 372)",
             "route": "lexical", "element": {"tag": "button", "text": "Log in", "label": null, "description": "button 'Log in' at (453, 372)",
               "box": {"x": 453, "y": 372, "width": 99, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/div[1]/button[1]"},
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 3, "line": 3, "text": "click Add to cart below Coffee beans", "source": null,
             "status": "passed", "duration_ms": 720, "outcome": "clicked button 'Add to cart' at (321, 194)",
             "route": "spatial", "element": {"tag": "button", "text": "Add to cart", "label": null, "description": "button 'Add to cart' at (321, 194)",
               "box": {"x": 321, "y": 194, "width": 110, "height": 36}, "xpath": "/html[1]/body[1]/main[1]/article[1]/button[1]"},
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 4, "line": 4, "text": "verify text right of Total is 14.50", "source": null,
             "status": "failed", "duration_ms": 5030, "outcome": null,
             "route": "spatial", "element": {"tag": "td", "text": "12.50", "label": null, "description": "td '12.50' at (705, 257)",
               "box": {"x": 705, "y": 257, "width": 122, "height": 39}, "xpath": "/html[1]/body[1]/main[2]/table[1]/tbody[1]/tr[3]/td[2]"},
             "message": "expected 14.50 right of 'Total' within 5000 ms, found '12.50'",
             "details": ["text right of 'Total': td '12.50' at (705, 257)"],
             "candidates": [], "screenshot": "artifacts/cart/checkout.steps/1-step4.png", "snapshot": null},
            {"number": 5, "line": 5, "text": "click Checkout", "source": null,
             "status": "skipped", "duration_ms": null, "outcome": null, "route": null, "element": null,
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null}
          ]
        },
        {
          "attempt": 2, "status": "passed", "duration_ms": 2530, "error": null, "trace": null,
          "steps": [
            {"number": 1, "line": 2, "text": "type ada@example.com into the Email field", "source": "shared/sign-in.steps:2",
             "status": "passed", "duration_ms": 350, "outcome": "typed 'ada@example.com' into input [_label=Email] at (453, 202)",
             "route": "lexical", "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 2, "line": 2, "text": "click Log in", "source": "shared/sign-in.steps:3",
             "status": "passed", "duration_ms": 590, "outcome": "clicked button 'Log in' at (453, 372)",
             "route": "lexical", "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 3, "line": 3, "text": "click Add to cart below Coffee beans", "source": null,
             "status": "passed", "duration_ms": 700, "outcome": "clicked button 'Add to cart' at (321, 194)",
             "route": "spatial", "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 4, "line": 4, "text": "verify text right of Total is 14.50", "source": null,
             "status": "passed", "duration_ms": 240, "outcome": "td '14.50' at (705, 257)",
             "route": "spatial", "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 5, "line": 5, "text": "click Checkout", "source": null,
             "status": "passed", "duration_ms": 650, "outcome": "clicked button 'Checkout' at (453, 316)",
             "route": "lexical", "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null}
          ]
        }
      ]
    },
    {
      "path": "drafts/wishlist.steps",
      "url": null,
      "tags": ["wip"],
      "status": "skipped",
      "error": null,
      "reason": "the file holds no steps, only comments",
      "duration_ms": 0,
      "attempts": []
    },
    {
      "path": "login/remember-me.steps",
      "url": "https://shop.example/login",
      "tags": ["smoke", "login"],
      "status": "passed",
      "error": null,
      "reason": null,
      "duration_ms": 3320,
      "attempts": [
        {
          "attempt": 1, "status": "passed", "duration_ms": 3320, "error": null, "trace": null,
          "steps": [
            {"number": 1, "line": 3, "text": "type ada@example.com into the Email field", "source": null,
             "status": "passed", "duration_ms": 420, "outcome": "typed 'ada@example.com' into input [_label=Email] at (453, 202)",
             "route": "lexical", "element": {"tag": "input", "text": "", "label": "Email", "description": "input [_label=Email] at (453, 202)",
               "box": {"x": 453, "y": 202, "width": 374, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/input[1]"},
             "message": null, "details": [], "candidates": [],
             "screenshot": "artifacts/login/remember-me.steps/1-step1.png", "snapshot": null},
            {"number": 2, "line": 4, "text": "type secret into the field right of Password", "source": null,
             "status": "passed", "duration_ms": 380, "outcome": "typed 'secret' into input [_label=Password] at (453, 280)",
             "route": "spatial", "element": {"tag": "input", "text": "", "label": "Password", "description": "input [_label=Password] at (453, 280)",
               "box": {"x": 453, "y": 280, "width": 374, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/input[2]"},
             "message": null, "details": [], "candidates": [],
             "screenshot": "artifacts/login/remember-me.steps/1-step2.png", "snapshot": null},
            {"number": 3, "line": 5, "text": "click Remember me", "source": null,
             "status": "passed", "duration_ms": 310, "outcome": "clicked input [_label=Remember me] at (457, 340)",
             "route": "lexical, then field labels", "element": {"tag": "input", "text": "", "label": "Remember me", "description": "input [_label=Remember me] at (457, 340)",
               "box": {"x": 457, "y": 340, "width": 13, "height": 13}, "xpath": "/html[1]/body[1]/main[1]/form[1]/label[3]/input[1]"},
             "message": null, "details": [], "candidates": [],
             "screenshot": "artifacts/login/remember-me.steps/1-step3.png", "snapshot": null},
            {"number": 4, "line": 6, "text": "click Log in", "source": null,
             "status": "passed", "duration_ms": 1290, "outcome": "clicked button 'Log in' at (453, 372)",
             "route": "lexical", "element": {"tag": "button", "text": "Log in", "label": null, "description": "button 'Log in' at (453, 372)",
               "box": {"x": 453, "y": 372, "width": 99, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/div[1]/button[1]"},
             "message": null, "details": [], "candidates": [],
             "screenshot": "artifacts/login/remember-me.steps/1-step4.png", "snapshot": null},
            {"number": 5, "line": 7, "text": "verify text Welcome back, Ada is visible", "source": null,
             "status": "passed", "duration_ms": 920, "outcome": "div 'Welcome back, Ada' at (0, 58) is visible",
             "route": "lexical", "element": {"tag": "div", "text": "Welcome back, Ada", "label": null, "description": "div 'Welcome back, Ada' at (0, 58)",
               "box": {"x": 0, "y": 58, "width": 1280, "height": 38}, "xpath": "/html[1]/body[1]/div[1]"},
             "message": null, "details": [], "candidates": [],
             "screenshot": "artifacts/login/remember-me.steps/1-step4.png", "snapshot": null}
          ]
        }
      ]
    },
    {
      "path": "login/sign-in.steps",
      "url": "https://shop.example/login",
      "tags": ["smoke", "login"],
      "status": "failed",
      "error": null,
      "reason": null,
      "duration_ms": 11980,
      "attempts": [
        {
          "attempt": 1, "status": "failed", "duration_ms": 5960, "error": null,
          "trace": "traces/login/sign-in.steps-1.zip",
          "steps": [
            {"number": 1, "line": 3, "text": "type ada@example.com into the Email field", "source": null,
             "status": "passed", "duration_ms": 410, "outcome": "typed 'ada@example.com' into input [_label=Email] at (453, 202)",
             "route": "lexical", "element": {"tag": "input", "text": "", "label": "Email", "description": "input [_label=Email] at (453, 202)",
               "box": {"x": 453, "y": 202, "width": 374, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/input[1]"},
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 2, "line": 4, "text": "type secret into the field right of Password", "source": null,
             "status": "passed", "duration_ms": 390, "outcome": "typed 'secret' into input [_label=Password] at (453, 280)",
             "route": "spatial", "element": {"tag": "input", "text": "", "label": "Password", "description": "input [_label=Password] at (453, 280)",
               "box": {"x": 453, "y": 280, "width": 374, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/input[2]"},
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 3, "line": 5, "text": "click Sign in", "source": null,
             "status": "failed", "duration_ms": 5020, "outcome": null,
             "route": "lexical, then field labels", "element": null,
             "message": "found no 'Sign in' within 5000 ms (click, lexical, then field labels)",
             "details": ["closest candidates:", "  button 'Log in' at (453, 372)", "  a 'Sign up' at (1188, 17)", "  a 'Forgot password?' at (687, 381)"],
             "candidates": [
               {"tag": "button", "text": "Log in", "label": null, "description": "button 'Log in' at (453, 372)",
                "box": {"x": 453, "y": 372, "width": 99, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/div[1]/button[1]"},
               {"tag": "a", "text": "Sign up", "label": null, "description": "a 'Sign up' at (1188, 17)",
                "box": {"x": 1188, "y": 17, "width": 60, "height": 22}, "xpath": "/html[1]/body[1]/header[1]/a[3]"},
               {"tag": "a", "text": "Forgot password?", "label": null, "description": "a 'Forgot password?' at (687, 381)",
                "box": {"x": 687, "y": 381, "width": 140, "height": 22}, "xpath": "/html[1]/body[1]/main[1]/form[1]/div[1]/a[1]"}
             ],
             "screenshot": "artifacts/login/sign-in.steps/1-step3.png",
             "snapshot": "artifacts/login/sign-in.steps/1-step3.json"},
            {"number": 4, "line": 6, "text": "verify text Welcome back, Ada is visible", "source": null,
             "status": "skipped", "duration_ms": null, "outcome": null, "route": null, "element": null,
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 5, "line": 7, "text": "click Log out", "source": null,
             "status": "skipped", "duration_ms": null, "outcome": null, "route": null, "element": null,
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null}
          ]
        },
        {
          "attempt": 2, "status": "failed", "duration_ms": 6020, "error": null,
          "trace": "traces/login/sign-in.steps-2.zip",
          "steps": [
            {"number": 1, "line": 3, "text": "type ada@example.com into the Email field", "source": null,
             "status": "passed", "duration_ms": 450, "outcome": "typed 'ada@example.com' into input [_label=Email] at (453, 202)",
             "route": "lexical", "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 2, "line": 4, "text": "type secret into the field right of Password", "source": null,
             "status": "passed", "duration_ms": 420, "outcome": "typed 'secret' into input [_label=Password] at (453, 280)",
             "route": "spatial", "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 3, "line": 5, "text": "click Sign in", "source": null,
             "status": "failed", "duration_ms": 5030, "outcome": null,
             "route": "lexical, then field labels", "element": null,
             "message": "found no 'Sign in' within 5000 ms (click, lexical, then field labels)",
             "details": ["closest candidates:", "  button 'Log in' at (453, 372)", "  a 'Sign up' at (1188, 17)", "  a 'Forgot password?' at (687, 381)"],
             "candidates": [
               {"tag": "button", "text": "Log in", "label": null, "description": "button 'Log in' at (453, 372)",
                "box": {"x": 453, "y": 372, "width": 99, "height": 40}, "xpath": "/html[1]/body[1]/main[1]/form[1]/div[1]/button[1]"},
               {"tag": "a", "text": "Sign up", "label": null, "description": "a 'Sign up' at (1188, 17)",
                "box": {"x": 1188, "y": 17, "width": 60, "height": 22}, "xpath": "/html[1]/body[1]/header[1]/a[3]"},
               {"tag": "a", "text": "Forgot password?", "label": null, "description": "a 'Forgot password?' at (687, 381)",
                "box": {"x": 687, "y": 381, "width": 140, "height": 22}, "xpath": "/html[1]/body[1]/main[1]/form[1]/div[1]/a[1]"}
             ],
             "screenshot": "artifacts/login/sign-in.steps/2-step3.png",
             "snapshot": "artifacts/login/sign-in.steps/2-step3.json"},
            {"number": 4, "line": 6, "text": "verify text Welcome back, Ada is visible", "source": null,
             "status": "skipped", "duration_ms": null, "outcome": null, "route": null, "element": null,
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 5, "line": 7, "text": "click Log out", "source": null,
             "status": "skipped", "duration_ms": null, "outcome": null, "route": null, "element": null,
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null}
          ]
        }
      ]
    },
    {
      "path": "search/queries & filters #1.steps",
      "url": "https://shop.example/search",
      "tags": [],
      "status": "passed",
      "error": null,
      "reason": null,
      "duration_ms": 1650,
      "attempts": [
        {
          "attempt": 1, "status": "passed", "duration_ms": 1650, "error": null, "trace": null,
          "steps": [
            {"number": 1, "line": 2, "text": "type \"<script>alert(1)</script>\" into the Search field", "source": null,
             "status": "passed", "duration_ms": 530, "outcome": "typed '<script>alert(1)</script>' into input [placeholder=Search] at (40, 12)",
             "route": "lexical", "element": {"tag": "input", "text": "", "label": null, "description": "input [placeholder=Search] at (40, 12)",
               "box": {"x": 40, "y": 12, "width": 300, "height": 32}, "xpath": "/html[1]/body[1]/header[1]/input[1]"},
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 2, "line": 3, "text": "press Enter", "source": null,
             "status": "passed", "duration_ms": 210, "outcome": "pressed Enter",
             "route": null, "element": null, "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null},
            {"number": 3, "line": 4, "text": "verify text No results for <img src=x onerror=alert(2)> is visible", "source": null,
             "status": "passed", "duration_ms": 910, "outcome": "p 'No results for <img src=x onerror=alert(2)>' at (40, 96) is visible",
             "route": "lexical", "element": {"tag": "p", "text": "No results for <img src=x onerror=alert(2)>", "label": null,
               "description": "p 'No results for <img src=x onerror=alert(2)>' at (40, 96)",
               "box": {"x": 40, "y": 96, "width": 420, "height": 24}, "xpath": "/html[1]/body[1]/main[1]/p[1]"},
             "message": null, "details": [], "candidates": [], "screenshot": null, "snapshot": null}
          ]
        }
      ]
    }
  ]
};
