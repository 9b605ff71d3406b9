#!/usr/bin/python3
# Prints every control of skerrin's open windows that a screen reader could not name or explain,
# one line each; prints nothing when all can be. Reads the AT-SPI tree as Orca does.
import sys

import pyatspi

# Controls a person operates: each needs a name and a description.
DESCRIBED = {
    "push button", "check box", "radio button", "combo box", "spin button", "slider",
    "toggle button", "table", "tree table", "text", "list",
}
# Parts and content: a name is enough.
NAMED = {"menu item", "page tab", "list item", "check menu item", "radio menu item"}


def problems(node, path, inside_combo=False):
    try:
        role = node.getRoleName()
        name, description = node.name, node.description
        editable = node.getState().contains(pyatspi.STATE_EDITABLE)
    except Exception:  # a window closing while it is read
        return
    here = f"{path}/{role}" + (f" '{name}'" if name else "")
    # A combo box's list and its items speak for it; its field is what gets the focus.
    if not (inside_combo and role != "text"):
        needs_description = role in DESCRIBED and (role != "text" or editable)
        if (needs_description or role in NAMED) and not name.strip():
            yield f"{here}: no name"
        if needs_description and not description.strip():
            yield f"{here}: no description"
    if role in ("table", "tree table"):
        return  # the cells are the sites, named by their text
    if role == "page tab list":
        # Its scroll buttons are the toolkit's own; the tabs are the pages.
        node = [child for child in node if child is not None and child.getRoleName() == "page tab"]
    for child in node:
        if child is not None:
            yield from problems(child, here, inside_combo or role == "combo box")


def main():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "skerrin":
            for window in app:
                if window is not None:
                    for line in problems(window, ""):
                        print(line)
            return 0
    print("skerrin is not on the accessibility bus")
    return 1


sys.exit(main())
