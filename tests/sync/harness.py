"""What the sync tests and the sync benchmark share: a private Radicale on 127.0.0.1, a Kestrivel
program folder that runs `kestrivel --sync`, Memos.dat in and out, and a calendar as the server
holds it, read with a plain REPORT and written by python3-caldav as a second device would.

Runs under /usr/bin/python3, which has Debian's radicale, python3-caldav and python3-icalendar."""
import atexit
import datetime
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

SKIP = 77  # ctest's SKIP_RETURN_CODE: a test peer is not installed
PEERS = ("radicale", "caldav", "icalendar", "requests")
EPOCH = datetime.date(1899, 12, 30)
FREQ = {0: None, 1: "WEEKLY", 2: "MONTHLY", 3: "YEARLY"}
STAMP = datetime.datetime(2026, 1, 1, tzinfo=datetime.timezone.utc)


def missing_peers():
    missing = []
    for module in PEERS:
        try:
            __import__(module)
        except ImportError:
            missing.append(module)
    return missing


def build_folder(name, usage, most=2):
    """The build folder the script was given; None, said, where a peer is not installed."""
    if not 2 <= len(sys.argv) <= most:
        sys.exit("usage: " + usage)
    missing = missing_peers()
    if missing:
        print(f"{name}: skipped, not installed: " + " ".join(missing))
        return None
    return os.path.abspath(sys.argv[1])


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.02)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_open(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


# --- Memos.dat: "CalendarMemos", version 100, count, then date (double), type, text records ------

def _string(data):
    return struct.pack("<i", len(data)) + data


def write_memos(path, memos):
    """`memos`: (date, type, text) with ";" for a line break, in list order."""
    memos = list(memos)
    parts = [_string(b"CalendarMemos"), struct.pack("<HH", 100, len(memos))]
    for date, kind, text in memos:
        parts += [struct.pack("<dB", float((date - EPOCH).days), kind), _string(text.encode())]
    with open(path, "wb") as f:
        f.write(b"".join(parts))


def read_memos(path):
    data = open(path, "rb").read()
    head = _string(b"CalendarMemos")
    if not data.startswith(head):
        raise AssertionError(f"{path} has no CalendarMemos head")
    version, count = struct.unpack_from("<HH", data, len(head))
    if version != 100:
        raise AssertionError(f"{path} has version {version}")
    pos, memos = len(head) + 4, []
    for _ in range(count):
        days, kind, size = struct.unpack_from("<dBi", data, pos)
        pos += 13
        memos.append((EPOCH + datetime.timedelta(days=int(days)), kind, data[pos:pos + size].decode()))
        pos += size
    if pos != len(data):
        raise AssertionError(f"{path} has {len(data) - pos} bytes after its {count} memos")
    return memos


# --- The server -------------------------------------------------------------------------------

class Radicale:
    """Radicale with its own configuration, storage and plain-text htpasswd file, stopped by PID
    when the caller is done, on failure and at exit."""

    def __init__(self):
        # Radicale syncs every write to disk; in memory a test's thousand uploads take seconds.
        shm = "/dev/shm"
        self.folder = tempfile.mkdtemp(prefix="kestrivel-radicale-", dir=shm if os.access(shm, os.W_OK) else None)
        self.port = free_port()
        self.url = f"http://127.0.0.1:{self.port}/"
        self.users = os.path.join(self.folder, "users")
        self.log_path = os.path.join(self.folder, "log")
        open(self.users, "w").close()
        config = os.path.join(self.folder, "config")
        with open(config, "w") as f:
            f.write(f"[server]\nhosts = 127.0.0.1:{self.port}\n"
                    f"[auth]\ntype = htpasswd\nhtpasswd_filename = {self.users}\n"
                    "htpasswd_encryption = plain\ndelay = 0\n"
                    "[rights]\ntype = owner_only\n"
                    f"[storage]\nfilesystem_folder = {self.folder}/collections\n"
                    "[web]\ntype = internal\n[logging]\nlevel = info\n")
        self.log = open(self.log_path, "w")
        self.log_read, self.done = 0, []
        self.proc = subprocess.Popen([sys.executable, "-m", "radicale", "-C", config],
                                     stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        atexit.register(self.stop)
        try:
            wait_for(lambda: self.proc.poll() is not None or port_open(self.port), 30, "Radicale")
            if self.proc.poll() is not None:
                raise AssertionError("Radicale ended at start:\n" + open(self.log_path).read())
        except BaseException:
            self.stop()
            raise

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def add_user(self, name, password):
        with open(self.users, "a") as f:
            f.write(f"{name}:{password}\n")

    def answered(self):
        """(method, seconds the server took) of every request answered so far, from its log."""
        self.log.flush()
        with open(self.log_path) as f:
            f.seek(self.log_read)
            text = f.read()
        text = text[:text.rfind("\n") + 1]  # a line being written is read next time
        self.log_read += len(text)
        self.done += [(m.group(1), float(m.group(2)))
                      for m in re.finditer(r"\] (\w+) response status for .* in ([0-9.]+) seconds", text)]
        return self.done

    def mark(self):
        """Where the server's log stands: what it logs after this is the calendar's doing."""
        self.log.flush()
        return os.path.getsize(self.log_path)

    def log_since(self, mark):
        self.log.flush()
        with open(self.log_path) as f:
            f.seek(mark)
            return f.read()

    def writes_since(self, mark, path):
        """The requests logged after `mark` that would change anything under `path`."""
        log = self.log_since(mark)
        return re.findall(r"(?:PUT|DELETE|PROPPATCH|MOVE|MKCOL|MKCALENDAR|POST)[^\n]*" + re.escape(path), log)

    def calendar(self, user, password, cal_id="cal"):
        """A new calendar of `user` as a python3-caldav object: the second device."""
        import caldav
        client = caldav.DAVClient(url=self.url, username=user, password=password)
        return client.principal().make_calendar(name=cal_id, cal_id=cal_id)


# --- A calendar published as an .ics file ---------------------------------------------------------

class Feed:
    """`text` served as an .ics file from 127.0.0.1 on a thread of its own, with an ETag; every
    request is recorded as (method, path, If-None-Match). Stopped by stop()."""

    def __init__(self, text, etag='"feed-1"'):
        import http.server
        import threading
        asked = self.asked = []
        body = text.encode()

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                asked.append((self.command, self.path, self.headers.get("If-None-Match")))
                if self.headers.get("If-None-Match") == etag:
                    self.send_response(304)
                    self.send_header("ETag", etag)
                    self.end_headers()
                    return
                self.send_response(200)
                self.send_header("Content-Type", "text/calendar")
                self.send_header("ETag", etag)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def do_PUT(self):
                asked.append((self.command, self.path, None))
                self.send_response(405)
                self.end_headers()

            do_DELETE = do_POST = do_PROPPATCH = do_PUT

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server.server_port}/feed.ics"

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


# --- The calendar as the server holds it ------------------------------------------------------

_QUERY = ('<?xml version="1.0" encoding="utf-8"?>'
          '<C:calendar-query xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">'
          '<D:prop><D:getetag/><C:calendar-data/></D:prop>'
          '<C:filter><C:comp-filter name="VCALENDAR"/></C:filter></C:calendar-query>')


def server_objects(calendar):
    """{href: (etag, iCalendar text)} of every object in `calendar`, as the server answers."""
    import requests
    client = calendar.client
    answer = requests.request("REPORT", str(calendar.url), data=_QUERY, timeout=60,
                              auth=(client.username, client.password),
                              headers={"Depth": "1", "Content-Type": "application/xml"})
    if answer.status_code != 207:
        raise AssertionError(f"REPORT answered {answer.status_code}")
    objects = {}
    for response in ET.fromstring(answer.content).iter("{DAV:}response"):
        href = response.findtext("{DAV:}href")
        etag = response.findtext(".//{DAV:}getetag")
        data = response.findtext(".//{urn:ietf:params:xml:ns:caldav}calendar-data")
        objects[href] = (etag, data)
    return objects


def put_object(calendar, name, data):
    """Puts `data` as the object `name` of `calendar`, as the second device's own bytes; its href."""
    import requests
    client = calendar.client
    url = str(calendar.url).rstrip("/") + "/" + name
    answer = requests.put(url, data=data, timeout=60, auth=(client.username, client.password),
                          headers={"Content-Type": "text/calendar; charset=utf-8", "If-None-Match": "*"})
    if answer.status_code not in (201, 204):
        raise AssertionError(f"PUT {name} answered {answer.status_code}")
    return requests.utils.urlparse(url).path


# What an edit may change besides the edited property.
RENEWED = {"SEQUENCE", "DTSTAMP", "LAST-MODIFIED"}


def components(data):
    """{(name, UID, RECURRENCE-ID): {property: [values as iCalendar text]}} of every component of
    `data`, nested ones (alarms) counted within their parent's properties."""
    import icalendar
    out = {}

    def properties(component):
        props = {}
        for name, value in component.property_items(recursive=False, sorted=False):
            if name not in ("BEGIN", "END"):
                props.setdefault(name, []).append(value.to_ical() if hasattr(value, "to_ical") else value)
        for sub in component.subcomponents:
            props.setdefault("BEGIN:" + sub.name, []).append(sorted(properties(sub).items()))
        return props

    for component in icalendar.Calendar.from_ical(data).walk():
        if component.name != "VALARM":
            recurrence = component.get("RECURRENCE-ID")
            key = (component.name, str(component.get("UID", component.get("TZID", ""))),
                   recurrence.to_ical() if recurrence else None)
            props = properties(component)
            if component.name == "VCALENDAR":
                props = {k: v for k, v in props.items() if not k.startswith("BEGIN:")}
            out[key] = props
    return out


def changed_properties(before, after):
    """{component key: property names that differ} between two iCalendar texts; a component
    added or removed is named with the property "*"."""
    old, new = components(before), components(after)
    out = {}
    for key in set(old) | set(new):
        if key not in old or key not in new:
            out[key] = {"*"}
            continue
        names = {n for n in set(old[key]) | set(new[key]) if old[key].get(n) != new[key].get(n)}
        if names:
            out[key] = names
    return out


def event_of(data):
    """(date, RRULE frequency or None, SUMMARY) of the main VEVENT in `data`."""
    import icalendar
    for event in icalendar.Calendar.from_ical(data).walk("VEVENT"):
        if "RECURRENCE-ID" in event:
            continue
        start = event.decoded("DTSTART")
        if isinstance(start, datetime.datetime):
            start = start.date()
        rule = event.get("RRULE")
        return start, rule["FREQ"][0] if rule else None, str(event.get("SUMMARY", ""))
    raise AssertionError("no VEVENT in:\n" + data)


def as_event(memo):
    """What the server holds for a memo (date, type, text)."""
    date, kind, text = memo
    return date, FREQ[kind], text.replace(";", "\n")


def peer_event(uid, start, summary, freq=None, sequence=0):
    """iCalendar text for an event the second device writes; `start` a date or an aware datetime."""
    import icalendar
    calendar = icalendar.Calendar()
    calendar.add("prodid", "-//Kestrivel tests//second device//EN")
    calendar.add("version", "2.0")
    event = icalendar.Event()
    event.add("uid", uid)
    event.add("dtstamp", STAMP)
    event.add("dtstart", start)
    if isinstance(start, datetime.datetime):
        event.add("dtend", start + datetime.timedelta(hours=1))
    event.add("summary", summary)
    event.add("sequence", sequence)
    if freq:
        event.add("rrule", {"freq": freq})
    calendar.add_component(event)
    return calendar.to_ical().decode()


# --- A Kestrivel program folder -----------------------------------------------------------------

def link_or_copy(source, target):
    # The program finds its folder through its own path, which a hard link keeps and a symbolic
    # link would not.
    try:
        os.link(source, target)
    except OSError:
        shutil.copy2(source, target)


class Device:
    """A scratch copy of the program folder: Settings.ini, Memos.dat and Sync.dat live beside the
    program, since the folder is writable."""

    def __init__(self, build, root, name, server, user, password):
        self.folder = os.path.join(root, name)
        os.makedirs(os.path.join(self.folder, "home"))
        binaries = os.path.join(build, "bin")
        for entry in os.listdir(binaries):
            if entry == "kestrivel" or (entry.startswith("kestrivel-") and entry.endswith(".so")):
                link_or_copy(os.path.join(binaries, entry), os.path.join(self.folder, entry))
        self.program = os.path.join(self.folder, "kestrivel")
        self.memos_path = os.path.join(self.folder, "Memos.dat")
        self.state_path = os.path.join(self.folder, "Sync.dat")
        self.password = password
        self.configure(server, user)

    def configure(self, server, user):
        with open(os.path.join(self.folder, "Settings.ini"), "w") as f:
            f.write(f"[Options]\nAutorun=0\nAutoUpdate=0\n[Sync]\nServer={server}\nUser={user}\nInterval=15\n")

    def environment(self, password=None):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS")}
        home = os.path.join(self.folder, "home")
        # Dates of timed events are local dates: the tests' expectations are Berlin's.
        env.update(HOME=home, XDG_CONFIG_HOME=home, LC_ALL="C", LANG="C", TZ="Europe/Berlin",
                   KESTRIVEL_SYNC_PASSWORD=self.password if password is None else password)
        return env

    def start_sync(self, password=None, options=()):
        return subprocess.Popen([self.program, "--sync", *options], env=self.environment(password), text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)

    def sync(self, password=None, timeout=120, options=()):
        """(exit code, stdout, stderr) of one `kestrivel --sync`."""
        proc = self.start_sync(password, options)
        try:
            out, err = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.communicate()
            raise AssertionError(f"kestrivel --sync ran longer than {timeout} s")
        return proc.returncode, out, err

    def agenda(self, *dates):
        """The lines `kestrivel --agenda` prints for `dates`."""
        proc = subprocess.run([self.program, "--agenda", *dates], env=self.environment(), text=True,
                              capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
        assert proc.returncode == 0, f"--agenda: exit {proc.returncode}\n{proc.stderr}"
        return proc.stdout.splitlines()

    def memos(self):
        return read_memos(self.memos_path) if os.path.exists(self.memos_path) else []

    def set_memos(self, memos):
        write_memos(self.memos_path, memos)

    def files(self):
        """The bytes of Memos.dat and Sync.dat (None for a missing file)."""
        def content(path):
            return open(path, "rb").read() if os.path.exists(path) else None
        return content(self.memos_path), content(self.state_path)


def many_memos(count, first=datetime.date(2000, 1, 1)):
    """`count` memos on days in a row, of every type, some with two lines."""
    return [(first + datetime.timedelta(days=i), i % 4, f"Memo {i}" + (";second line" if i % 7 == 0 else ""))
            for i in range(count)]
