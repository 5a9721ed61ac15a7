#!/usr/bin/python3
"""Reads the program's windows through the accessibility bus (AT-SPI), as a screen reader does.

  atspi_read.py bus                 starts the session's accessibility bus and exits
  atspi_read.py wait TITLE SECONDS  waits until a window whose name starts with TITLE is offered
  atspi_read.py reader SECONDS      waits until the screen reader Orca is on the accessibility bus
  atspi_read.py display             the main window as read: JSON with the window's name, the
                                    labels by their description, the lit band light and the
                                    station list entries offered (name, states, screen centre)
  atspi_read.py list                the station list as a screen reader places its focused entry:
                                    JSON with the list's rows and selected rows (its table), whether
                                    it manages its descendants, the focused entry's name and index
                                    in the list, and the list's child count
  atspi_read.py select ROW          selects the list's row ROW (from 0) through its table
  atspi_read.py walk                walks every object of the program, asking each for its name,
                                    role, states and children; JSON with the count and seconds.
                                    As screen readers do, it does not descend into an object that
                                    manages its descendants (a long list makes its rows on request)
  atspi_read.py press MENU ITEM     presses the item ITEM of the main window's menu MENU
  atspi_read.py listen SECONDS      until ended, prints a JSON line for every new text of the
                                    player's status line ({"t": monotonic seconds, "status": text})
                                    and walks every object of the program every SECONDS seconds
"""
import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

APP_NAME = "Halcyrix"


def applications():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == APP_NAME:
            yield app


def children(obj):
    for i in range(obj.get_child_count()):
        child = obj.get_child_at_index(i)
        if child is not None:
            yield child


def descendants(obj):
    yield obj
    for child in children(obj):
        yield from descendants(child)


def main_frame(title):
    for app in applications():
        for frame in children(app):
            if (frame.get_name() or "").startswith(title):
                return frame
    return None


def centre(obj):
    r = obj.get_extents(Atspi.CoordType.SCREEN)
    return [r.x + r.width // 2, r.y + r.height // 2]


def display():
    frame = main_frame("Halcyrix v")
    if frame is None:
        return {}
    read = {"caption": frame.get_name(), "labels": {}, "lit": [], "stations": []}
    for obj in descendants(frame):
        role = obj.get_role()
        states = obj.get_state_set()
        if role == Atspi.Role.LABEL and states.contains(Atspi.StateType.SHOWING):
            what = obj.get_description()
            if what:
                read["labels"][what] = obj.get_name()
            if (obj.get_name() or "").endswith(", lit"):
                read["lit"].append(obj.get_name())
        elif role == Atspi.Role.LIST_ITEM:
            read["stations"].append({
                "name": obj.get_name(),
                "selected": states.contains(Atspi.StateType.SELECTED),
                "focused": states.contains(Atspi.StateType.FOCUSED),
                "centre": centre(obj),
            })
    return read


def station_list():
    frame = main_frame("Halcyrix v")
    if frame is None:
        return None
    for obj in descendants(frame):
        if obj.get_role() == Atspi.Role.LIST and obj.get_name() == "Stations":
            return obj
    return None


def list_position():
    stations = station_list()
    if stations is None:
        return {}
    read = {"children": stations.get_child_count(), "rows": -1, "selected": [],
            "manages": stations.get_state_set().contains(Atspi.StateType.MANAGES_DESCENDANTS)}
    try:
        read["rows"] = Atspi.Table.get_n_rows(stations)
        read["selected"] = list(Atspi.Table.get_selected_rows(stations) or [])
    except Exception:  # the list offers no table
        pass
    for entry in children(stations):
        if entry.get_state_set().contains(Atspi.StateType.FOCUSED):
            read["name"] = entry.get_name()
            read["index"] = entry.get_index_in_parent()
    return read


def walk():
    count = 0
    start = time.monotonic()

    def visit(obj):
        nonlocal count
        count += 1
        obj.get_name()
        obj.get_role()
        if obj.get_state_set().contains(Atspi.StateType.MANAGES_DESCENDANTS):
            return
        for child in children(obj):
            visit(child)

    for app in applications():
        Atspi.Accessible.clear_cache(app)
        visit(app)
    return {"objects": count, "seconds": time.monotonic() - start}


def press(menu_name, item_name):
    frame = main_frame("Halcyrix v")
    if frame is None:
        return False
    for bar in children(frame):
        if bar.get_role() != Atspi.Role.MENU_BAR:
            continue
        for menu in children(bar):
            if menu.get_name() != menu_name:
                continue
            for item in descendants(menu):
                if item is not menu and item.get_name() == item_name:
                    return Atspi.Action.do_action(item, 0)
    return False


def listen(walk_seconds):
    from gi.repository import GLib

    def on_name(event):
        source = event.source
        if source is not None and source.get_description() == "Player status":
            text = event.any_data if isinstance(event.any_data, str) else source.get_name()
            print(json.dumps({"t": time.monotonic(), "status": text}), flush=True)

    def on_walk():
        walk()
        return True

    listener = Atspi.EventListener.new(on_name)
    listener.register("object:property-change:accessible-name")
    GLib.timeout_add(int(walk_seconds * 1000), on_walk)
    print(json.dumps({"t": time.monotonic(), "ready": True}), flush=True)
    Atspi.event_main()


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "bus":
        Atspi.get_desktop(0).get_child_count()
        return 0
    if command == "wait":
        title, deadline = argv[2], time.monotonic() + float(argv[3])
        while time.monotonic() < deadline:
            if main_frame(title) is not None:
                return 0
            time.sleep(0.2)
        return 1
    if command == "reader":
        deadline = time.monotonic() + float(argv[2])
        while time.monotonic() < deadline:
            desktop = Atspi.get_desktop(0)
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                if app is not None and app.get_name() == "orca":
                    return 0
            time.sleep(0.2)
        return 1
    if command == "display":
        print(json.dumps(display()))
        return 0
    if command == "list":
        print(json.dumps(list_position()))
        return 0
    if command == "select":
        stations = station_list()
        return 0 if stations is not None and Atspi.Table.add_row_selection(stations, int(argv[2])) else 1
    if command == "press":
        return 0 if press(argv[2], argv[3]) else 1
    if command == "listen":
        listen(float(argv[2]))
        return 0
    if command == "walk":
        print(json.dumps(walk()))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
