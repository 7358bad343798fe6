#!/usr/bin/env bash
# What a screen reader is told of the window: the demo under Xvfb with the
# accessibility bus, read back through AT-SPI (pyatspi) in both languages.
# The drive list must be named by its caption and labelled by it, and
# nothing that the window's height cuts off may be showing or focusable.
#   scripts/check-accessibility.sh <zorvex-flash-demo>
# Needs xvfb-run, dbus-run-session, at-spi2-core and python3-pyatspi
# (scripts/install-deps.sh).
set -euo pipefail
demo=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)

if [ "${ZX_ACCESSIBILITY_INNER:-}" = "1" ]; then
  # Inside the private display and session bus.
  "$demo" --language "$ZX_LANGUAGE" --latency-scale 0 >/dev/null 2>&1 &
  pid=$!
  trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true' EXIT
  # Debian's python3, whatever python3 comes first on the path.
  /usr/bin/python3 - "$ZX_CAPTION" <<'PY'
import sys, time
import pyatspi

caption = sys.argv[1]

def application():
    # The window is up once its drive list has been found and captioned.
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "zorvex-flash":
                boxes = pyatspi.findAllDescendants(app, lambda o: o.getRole() == pyatspi.ROLE_COMBO_BOX)
                labels = pyatspi.findAllDescendants(app, lambda o: o.getRole() == pyatspi.ROLE_LABEL and o.name == caption)
                if boxes and labels:
                    return app
        time.sleep(0.5)
    sys.exit("check-accessibility: the demo's window never appeared on the accessibility bus")

app = application()
time.sleep(1)  # start-up's last step, the cut to the window's height
problems = []
frame = pyatspi.findDescendant(app, lambda o: o.getRole() == pyatspi.ROLE_FRAME)
top = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
bottom = top.y + top.height

boxes = pyatspi.findAllDescendants(frame, lambda o: o.getRole() == pyatspi.ROLE_COMBO_BOX)
if len(boxes) != 1:
    problems.append(f"{len(boxes)} combo boxes, not one drive list")
for box in boxes:
    if box.name != caption:
        problems.append(f"the drive list is named {box.name!r}, not {caption!r}")
    labelled = [r.getTarget(i).name for r in box.getRelationSet()
                if r.getRelationType() == pyatspi.RELATION_LABELLED_BY for i in range(r.getNTargets())]
    if labelled != [caption]:
        problems.append(f"the drive list is labelled by {labelled}, not by {caption!r}")

# The window's own controls (the client area's children). Those below the
# frame's bottom edge, or with no place at all (Qt gives a hidden control
# none), are cut off and must be out of a screen reader's reach.
client = pyatspi.findDescendant(frame, lambda o: o.getRole() == pyatspi.ROLE_FILLER)
cut = []
for control in client:
    extents = control.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if extents.y < bottom and (extents.width > 0 or extents.height > 0):
        continue
    cut.append(control.getRoleName())
    states = control.getState()
    for state, said in ((pyatspi.STATE_SHOWING, "showing"), (pyatspi.STATE_FOCUSABLE, "focusable")):
        if states.contains(state):
            problems.append(f"cut-off {control.getRoleName()} {control.name!r} at y={extents.y} is {said}")
# The lower panel: among others its four edit fields and two radio buttons.
if cut.count("text") < 4 or cut.count("radio button") < 2:
    problems.append(f"the cut-off panel was not found whole: {sorted(cut)}")
for line in problems:
    print("check-accessibility:", line, file=sys.stderr)
print(f"check-accessibility: {caption!r}: drive list named and labelled, {len(cut)} cut-off objects hidden"
      if not problems else "check-accessibility: failed")
sys.exit(1 if problems else 0)
PY
  exit
fi

for language in en ja; do
  caption="Selected Drive:"
  [ "$language" = ja ] && caption="ドライブ選択:"
  # -ac: no access control on the private display, so nothing depends on a
  # cookie reaching every client.
  ZX_ACCESSIBILITY_INNER=1 ZX_LANGUAGE=$language ZX_CAPTION=$caption \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 \
    xvfb-run -a -s "-ac -screen 0 800x600x24" \
    dbus-run-session -- "$here/check-accessibility.sh" "$demo" 2> >(grep -v 'dbus-daemon\|SpiRegistry\|fd limit' >&2)
done
