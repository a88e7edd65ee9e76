#!/usr/bin/python3
"""`kestrivel --sync` against a calendar server that tries to get the password elsewhere or to make
the sync cost minutes or gigabytes.

Usage: test_hostile.py BUILD_FOLDER [NAME_PART]. One server answers on 127.0.0.1; two more listen on
127.0.0.2 and on another port of 127.0.0.1 (other origins) and must never be asked anything. Each
row of ROWS sets up a program folder, lets the main server answer as the row says, and checks the
exit code, the output, what each listener received, and that Memos.dat and Sync.dat are byte for
byte as they were (where the row says so)."""
import collections
import datetime
import gzip
import http.server
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

MIB = 1024 * 1024
MEMOS = [(datetime.date(2026, 5, d), 0, f"Memo {d}") for d in (1, 2, 3)]
SECRET = "s3cret-Pw"
# However busy the machine: a row that runs this long hangs.
WALL_SECONDS = 60


# --- The servers --------------------------------------------------------------------------------

Request = collections.namedtuple("Request", "method path headers body")


class Listener:
    """An HTTP/1.1 server on `host` (https with the ssl.SSLContext `tls`) that writes every request
    down and answers through `answer` (a function of a Request giving (status, headers, body), or a
    Raw answer), by default a small calendar."""

    def __init__(self, host, tls=None):
        self.requests, self.answer = [], None
        listener = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"
            # Head and body go out in two writes; without this each answer waits for a delayed ACK.
            disable_nagle_algorithm = True

            def log_message(self, *args):
                pass

            def handle_one_request(self):
                try:
                    super().handle_one_request()
                except (ConnectionError, BrokenPipeError):
                    self.close_connection = True

            def __getattr__(self, name):
                if not name.startswith("do_"):
                    raise AttributeError(name)
                return self.serve

            def serve(self):
                length = int(self.headers.get("Content-Length") or 0)
                request = Request(self.command, self.path, dict(self.headers.items()), self.rfile.read(length))
                listener.requests.append(request)
                answer = (listener.answer or calendar)(request)
                if isinstance(answer, Raw):
                    self.close_connection = True
                    try:
                        answer.write(self.wfile)
                    except (ConnectionError, BrokenPipeError):
                        pass
                    return
                status, headers, body = answer
                self.send_response(status)
                for name, value in headers.items():
                    self.send_header(name, value)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self.server = http.server.ThreadingHTTPServer((host, 0), Handler)
        self.server.daemon_threads = True
        if tls:  # an ssl.SSLContext: the handshake comes before any request is read
            self.server.socket = tls.wrap_socket(self.server.socket, server_side=True)
        self.url = f"http://{host}:{self.server.server_address[1]}"
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


class Raw:
    """An answer written byte for byte by `write(wfile)`: framings the standard handler never sends.
    The connection closes after it."""

    def __init__(self, write):
        self.write = write


# However long an endless answer runs: the program must have given up long before.
ENDLESS_BYTES = 4 * 1024 * MIB


def endless(head, piece):
    """`head`, then `piece` again and again until the program closes the connection."""
    def write(wfile):
        wfile.write(head)
        sent = 0
        while sent < ENDLESS_BYTES:
            wfile.write(piece)
            sent += len(piece)
    return on("REPORT", lambda r: Raw(write))


MULTI_HEAD = b"HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\n"
OPENING = b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:">'


def chunk(data):
    return b"%x\r\n" % len(data) + data + b"\r\n"


def multistatus(*responses, token=None):
    sync = f"<d:sync-token>{token}</d:sync-token>" if token else ""
    return ('<?xml version="1.0" encoding="utf-8"?><d:multistatus xmlns:d="DAV:" '
            'xmlns:c="urn:ietf:params:xml:ns:caldav">' + "".join(responses) + sync + "</d:multistatus>").encode()


def response(href, props="", status=None):
    if status:
        return f"<d:response><d:href>{href}</d:href><d:status>HTTP/1.1 {status}</d:status></d:response>"
    return (f"<d:response><d:href>{href}</d:href><d:propstat><d:prop>{props}</d:prop>"
            "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>")


CALENDAR_PROPS = ("<d:resourcetype><d:collection/><c:calendar/></d:resourcetype>"
                  '<c:supported-calendar-component-set><c:comp name="VEVENT"/></c:supported-calendar-component-set>')
XML = {"Content-Type": "application/xml; charset=utf-8"}


def event(href):
    return response(href, '<d:getetag>"e1"</d:getetag>')


def calendar(request, listing=(), privileges=""):
    """A calendar at /cal/ that takes every upload: the default answers."""
    if request.method == "PROPFIND":
        return 207, XML, multistatus(response(request.path, CALENDAR_PROPS + privileges))
    # A first sync asks with calendar-query, later ones with sync-collection: both list the same.
    if request.method == "REPORT" and b"sync-collection" in request.body:
        return 207, XML, multistatus(*listing, token="http://example.org/sync/1")
    if request.method == "REPORT":
        return 207, XML, multistatus(*listing)
    if request.method in ("PUT", "DELETE"):
        return 201 if request.method == "PUT" else 204, {"ETag": '"n1"'}, b""
    return 405, {}, b""


def on(method, answer, path=None):
    """`answer` for `method` (and `path` when given), the calendar's answer for the rest."""
    def route(request):
        if request.method == method and (path is None or request.path == path):
            return answer(request)
        return calendar(request)
    return route


def listing(*responses):
    return lambda request: calendar(request, [r.format(other=SERVERS["other"].url) for r in responses])


def redirect(status, to):
    return on("PROPFIND", lambda r: (status, {"Location": to() + "/cal/"}, b"moved"))


def server_root(home_set):
    """A server root naming a principal whose calendar home is `home_set`."""
    def route(request):
        if request.path == "/" and request.method == "PROPFIND":
            return 207, XML, multistatus(response("/", "<d:current-user-principal><d:href>/p/</d:href>"
                                                       "</d:current-user-principal>"))
        if request.path == "/p/":
            return 207, XML, multistatus(response("/p/", f"<c:calendar-home-set><d:href>{home_set()}</d:href>"
                                                         "</c:calendar-home-set>"))
        return calendar(request)
    return route


def status(code, method):
    return on(method, lambda r: (code, {}, b""))


def flood_of_hrefs(count):
    body = multistatus(*(event(f"/cal/e{i}.ics") for i in range(count)), token="http://example.org/sync/1")
    return on("REPORT", lambda r: calendar(r) if b"calendar-multiget" in r.body else (207, XML, body))


def flood_of_responses(size):
    head, tail = b'<multistatus xmlns="DAV:">', b"</multistatus>"
    body = head + b"<response/>" * ((size - len(head) - len(tail)) // 11) + tail
    return on("REPORT", lambda r: (207, XML, body))


def gzip_bomb(size):
    packed = gzip.compress(multistatus()[:-len("</d:multistatus>")] + b" " * size + b"</d:multistatus>", 9)
    return on("REPORT", lambda r: (207, dict(XML, **{"Content-Encoding": "gzip"}), packed))


def deflate_bomb(size):
    import zlib
    packed = zlib.compress(multistatus()[:-len("</d:multistatus>")] + b" " * size + b"</d:multistatus>", 9)
    return on("REPORT", lambda r: (207, dict(XML, **{"Content-Encoding": "deflate"}), packed))


def chunked_gzip_listing():
    """A sync-collection listing of one event, gzip-compressed and sent in chunks of 100 bytes."""
    def route(request):
        if request.method == "REPORT" and b"multiget" not in request.body:
            packed = gzip.compress(multistatus(event("/cal/e1.ics"), token="http://example.org/sync/1"))
            pieces = b"".join(chunk(packed[i:i + 100]) for i in range(0, len(packed), 100))
            return Raw(lambda w: w.write(MULTI_HEAD + b"Content-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n"
                                         b"Connection: close\r\n\r\n" + pieces + b"0\r\n\r\n"))
        return calendar(request)
    return route


def truncated_rounds(copies, padding=0):
    """sync-collection answers that list one href `copies` times, carry `padding` bytes of text the
    client ignores, and end in a 507 with a new token: every round says more is to come."""
    rounds = []

    def route(request):
        if request.method == "REPORT" and b"sync-collection" in request.body:
            rounds.append(1)
            body = (OPENING + event("/cal/same.ics").encode() * copies + b" " * padding +
                    response("/cal/", status="507 Insufficient Storage").encode() +
                    f"<d:sync-token>http://example.org/sync/{len(rounds)}</d:sync-token></d:multistatus>".encode())
            return 207, XML, body
        if request.method == "REPORT" and b"multiget" not in request.body:
            return 403, {}, b""  # no calendar-query: the listing comes by sync-collection alone
        return calendar(request)
    return route


def large_events(count, size):
    """A calendar of `count` events of `size` bytes each, listed by sync-collection and fetched by
    multiget."""
    text = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:{uid}\r\nDTSTAMP:20260501T000000Z\r\n"
            "DTSTART;VALUE=DATE:20260501\r\nSUMMARY:big\r\nDESCRIPTION:" + "x" * size +
            "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")

    def route(request):
        if request.method == "REPORT" and b"sync-collection" in request.body:
            return 207, XML, multistatus(*(event(f"/cal/b{i}.ics") for i in range(count)),
                                         token="http://example.org/sync/1")
        if request.method == "REPORT" and b"multiget" in request.body:
            hrefs = re.findall(rb"<(?:\w+:)?href>([^<]*)</", request.body)
            return 207, XML, multistatus(*(response(h.decode(), '<d:getetag>"e1"</d:getetag><c:calendar-data>' +
                                                    text.format(uid=h.decode()) + "</c:calendar-data>")
                                           for h in hrefs))
        if request.method == "REPORT":
            return 403, {}, b""
        return calendar(request)
    return route


# --- The rows -----------------------------------------------------------------------------------

class Row:
    def __init__(self, name, answer=None, code=1, err=r"^kestrivel: sync failed: ", out=r"^$", address=None,
                 password=SECRET, memos=MEMOS, same=("Memos.dat", "Sync.dat"), seconds=20, rss_mb=None,
                 main_gets=None, never=(), figure=None, user="anna"):
        self.name, self.answer, self.code, self.err, self.out = name, answer, code, err, out
        self.user = user
        self.address, self.password, self.memos, self.same = address, password, memos, same
        self.seconds, self.rss_mb, self.main_gets, self.never = seconds, rss_mb, main_gets, never
        self.figure = figure  # printed as `figure: NAME VALUE UNIT` like the benchmarks' figures


OTHER_HOST = "127.0.0.2"
# What any one sync may cost, whatever the server sends.
BOUNDED = dict(seconds=5, rss_mb=300)
TOO_MUCH = r"too (long|large)|more than this sync allows"
REFUSED = r"^kestrivel: sync failed: .*(outside|another|not an address|unusable)"
ROWS = [
    Row("a redirect within the server is followed", on("PROPFIND", lambda r: (301, {"Location": "/cal/"}, b""),
                                                       "/old/"),
        code=0, err=r"^$", out=r"^kestrivel: synced with http://127\.0\.0\.1:\d+/cal/: 3 sent", same=(),
        address="{main}/old/"),
    *(Row(f"{code} to another host", redirect(code, lambda: SERVERS["other"].url),
          err=r"^kestrivel: sync failed: the server sends the sync on to http://127\.0\.0\.2:\d+/cal/")
      for code in (301, 302, 303, 307, 308)),
    Row("308 to another port", redirect(308, lambda: SERVERS["port"].url),
        err=r"sends the sync on to http://127\.0\.0\.1:\d+/cal/"),
    Row("a listing names an event on another host", listing(event("{other}/cal/x.ics")), err=REFUSED),
    Row("a home on another host", server_root(lambda: SERVERS["other"].url + "/home/"), address="{main}/",
        err=r"sends the sync on to http://127\.0\.0\.2:\d+/home/"),
    Row("a principal on another port", on("PROPFIND", lambda r: (207, XML, multistatus(response(
        "/", f"<d:current-user-principal><d:href>{SERVERS['port'].url}/p/</d:href></d:current-user-principal>"))),
        "/"), address="{main}/", err=r"sends the sync on to http://127\.0\.0\.1:\d+/p/"),
    Row("a password in the address", address="http://anna:" + SECRET + "@{host}/cal/",
        err=r"^kestrivel: sync failed: the server address holds a user name or password", main_gets=0),
    Row("a password in an address that is not http", address="ftp://anna:" + SECRET + "@{host}/cal/",
        err=r"^kestrivel: sync failed: .*must start with http:// or https://", main_gets=0),
    Row("no user set where the server asks for one", status(401, "PROPFIND"), user="",
        err=r"^kestrivel: sync failed: the server asks for a user name and password, and no user is set "
            r"\(\[Sync\] User\)$"),
    Row("a port that is no port", address="http://{host}0000/cal/",
        err=r"^kestrivel: sync failed: the port of the server address is not a number from 1 to 65535$", main_gets=0),
    Row("an address without a scheme", address="{host}/cal/",
        err=r"^kestrivel: sync failed: .*must start with http:// or https://", main_gets=0),
    Row("plain http to a host that is not loopback", address="http://0.0.0.0:{free}/cal/",
        err=r"^kestrivel: warning: .*plain http.*\nkestrivel: sync failed: cannot reach"),
    Row("../ in a listed href", listing(event("../other/victim.ics")), err=REFUSED),
    Row("%2e%2e in a listed href", listing(event("%2e%2e/other/victim.ics")), err=REFUSED),
    Row("a line break in a listed href",
        listing(event("/cal/a.ics\nkestrivel: synced with http://evil.example/: 9 sent")), err=REFUSED),
    Row("a line break in the calendar's own href", on("PROPFIND", lambda r: (207, XML, multistatus(response(
        "/cal/\nkestrivel: synced with http://evil.example/", CALENDAR_PROPS))))),
    Row("412 to every upload", status(412, "PUT"),
        err=r"^kestrivel: sync failed: 3 changes? (were|was) not sent", same=("Memos.dat",)),
    Row("403 to an upload: read-only", status(403, "PUT"), err=r"read-only", same=("Memos.dat",)),
    Row("405 to an upload: read-only", status(405, "PUT"), err=r"read-only", same=("Memos.dat",)),
    Row("privileges say read-only", lambda r: calendar(r, privileges="<d:current-user-privilege-set><d:privilege>"
                                                                     "<d:read/></d:privilege></d:current-user-privilege-set>"),
        err=r"read-only", same=("Memos.dat",), never=("PUT",)),
    Row("403 to the calendar's listing", status(403, "PROPFIND"), err=r"refuses user anna access"),
    Row("404 at the address", status(404, "PROPFIND"), err=r"nothing at http://127\.0\.0\.1:\d+/cal/"),
    Row("no secret store", password=None, main_gets=0,
        err=r"^kestrivel: sync failed: no secret store .*KESTRIVEL_SYNC_PASSWORD"),
    Row("100,000 listed events", flood_of_hrefs(100_000), code=0, err=r"^$", out=r"^kestrivel: synced with",
        memos=[], same=("Memos.dat",), seconds=5, figure="sync_100k_hrefs_cpu"),
    Row("64 MiB of empty responses", flood_of_responses(64 * MIB - 4096),
        err=r"too many responses|more than this sync allows",
        rss_mb=300, figure="sync_64mib_answer_peak"),
    Row("a gzip bomb", gzip_bomb(100 * MIB), err=r"too (long|large)", rss_mb=300, figure="sync_gzip_bomb_peak"),
    Row("a deflate bomb", deflate_bomb(1024 * MIB), err=r"too (long|large)", **BOUNDED),
    Row("a chunked gzip listing is read", chunked_gzip_listing(), code=0, err=r"^$", out=r"^kestrivel: synced with",
        memos=[], same=("Memos.dat",), **BOUNDED),
    Row("an endless chunked answer", endless(MULTI_HEAD + b"Transfer-Encoding: chunked\r\n\r\n",
                                             chunk(b" " * 65536)), err=TOO_MUCH, figure="sync_endless_chunked_peak",
        **BOUNDED),
    Row("an endless answer without a length", endless(MULTI_HEAD + b"Connection: close\r\n\r\n", b" " * 65536),
        err=TOO_MUCH, **BOUNDED),
    Row("an absurd Content-Length", endless(MULTI_HEAD + b"Content-Length: 42949672960\r\n\r\n", b" " * 65536),
        err=TOO_MUCH, **BOUNDED),
    Row("a Content-Length shorter than the answer",
        endless(MULTI_HEAD + b"Content-Length: 60\r\n\r\n" + OPENING, b"<d:response/>" * 4096),
        err=r"unusable answer", **BOUNDED),
    Row("an endless header section", endless(MULTI_HEAD, b"X-Pad: " + b"a" * 4000 + b"\r\n"),
        err=r"headers are too long", **BOUNDED),
    Row("507 rounds repeating one href", truncated_rounds(131_000), err=r"listed more than \d+ entries",
        figure="sync_507_rounds_peak", **BOUNDED),
    Row("507 rounds of 60 MiB ignored text", truncated_rounds(1, 60 * MIB), err=r"more than this sync allows",
        **BOUNDED),
    Row("300 events of 600 KB", large_events(300, 600_000), err=r"more than this sync allows", **BOUNDED),
    Row("plain http to a name under localhost", address="http://cal.localhost:{free}/cal/",
        err=r"^kestrivel: warning: .*plain http.*\nkestrivel: sync failed: "),
]

# --- Zones a server may send ----------------------------------------------------------------------

def events_with_data(objects):
    """A calendar whose events are `objects` (iCalendar texts, or functions giving one), listed with
    their data by every REPORT."""
    def answer(request):
        if request.method != "REPORT":
            return calendar(request)
        found = [response(f"/cal/z{i}.ics", f'<d:getetag>"z{i}"</d:getetag><c:calendar-data>'
                          + xml_escape(data() if callable(data) else data) + "</c:calendar-data>")
                 for i, data in enumerate(objects)]
        return 207, XML, multistatus(*found, token="http://example.org/sync/1" if b"sync-collection" in request.body else None)
    return answer


def xml_escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def zoned_event(uid, zones, tzid):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Hostile//EN\r\n" + zones +
            f"BEGIN:VEVENT\r\nUID:{uid}\r\nDTSTAMP:20260101T000000Z\r\n"
            f"DTSTART;TZID={tzid}:20260510T120000\r\nSUMMARY:Zoned {uid}\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")


def zone_bomb(tzid, parts=5):
    """A zone whose parts change the offset every day since the year 1."""
    days, months = ",".join(map(str, range(1, 32))), ",".join(map(str, range(1, 13)))
    part = ("BEGIN:STANDARD\r\nDTSTART:00010101T000000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\n"
            f"RRULE:FREQ=YEARLY;BYMONTH={months};BYMONTHDAY={days}\r\nEND:STANDARD\r\n")
    return f"BEGIN:VTIMEZONE\r\nTZID:{tzid}\r\n" + part * parts + "END:VTIMEZONE\r\n"


def fifo_path():
    """A named pipe with no writer: whoever opens it for reading waits for ever."""
    path = os.path.join(ZONE_FOLDER["root"], "zone-fifo")
    if not os.path.exists(path):
        os.mkfifo(path)
    return path


ZONE_FOLDER = {}
ZONE_SYNCED = r"^kestrivel: synced with http://127\.0\.0\.1:\d+/cal/: 3 sent"
ZONE_ROWS = [
    Row("twenty events in zone bombs", events_with_data(
        [zoned_event(f"bomb{i}", zone_bomb(f"Bomb {i}"), f"Bomb {i}") for i in range(20)]),
        code=0, err=r"", out=ZONE_SYNCED, same=(), seconds=5, rss_mb=300, figure="sync_zone_bombs_peak"),
    Row("a zone bomb under a system zone's name", events_with_data(
        [zoned_event(f"ny{i}", zone_bomb("America/New_York", 10), "America/New_York") for i in range(20)]),
        code=0, err=r"", out=ZONE_SYNCED, same=(), seconds=5, rss_mb=300),
    Row("a TZID that is a path to a pipe", events_with_data(
        [lambda: zoned_event("path", "", "../../../../../../../.." + fifo_path()),
         lambda: zoned_event("quoted", "", '"/usr/share/zoneinfo/../../../..' + fifo_path() + '"')]),
        code=0, err=r"", out=ZONE_SYNCED, same=(), seconds=5, rss_mb=300),
]
ROWS += ZONE_ROWS

SERVERS = {}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# Starts the program from a small process of its own and writes down what the program alone used:
# a child forked from this test would count the test's answers, held in memory, as its own.
MEASURE = """import os, sys
pid = os.posix_spawn(sys.argv[2], sys.argv[2:], os.environ)
_, status, usage = os.wait4(pid, 0)
with open(sys.argv[1], "w") as f:
    f.write(f"{usage.ru_maxrss} {usage.ru_utime + usage.ru_stime}")
sys.exit(os.waitstatus_to_exitcode(status))
"""


def run_measured(device, password):
    """(exit code, stdout, stderr, processor seconds, peak resident MiB) of one `kestrivel --sync`."""
    env = device.environment(password)
    if password is None:
        del env["KESTRIVEL_SYNC_PASSWORD"]
    usage = os.path.join(device.folder, "usage")
    proc = subprocess.Popen([sys.executable, "-c", MEASURE, usage, device.program, "--sync"], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        out, err = proc.communicate(timeout=WALL_SECONDS)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)  # the launcher's group: the program with it
        proc.communicate()
        return None, "", f"still running after {WALL_SECONDS} s", float(WALL_SECONDS), 0.0
    with open(usage) as f:
        rss_kib, cpu = f.read().split()
    return proc.returncode, out.decode(errors="replace"), err.decode(errors="replace"), float(cpu), int(rss_kib) / 1024


def check(row, build, root, index):
    main = SERVERS["main"]
    for listener in SERVERS.values():
        listener.requests.clear()
        listener.answer = None
    main.answer = row.answer
    SERVERS["other"].answer = SERVERS["port"].answer = calendar
    host = main.url[len("http://"):]
    address = (row.address or "{main}/cal/").format(main=main.url, host=host, free=free_port(),
                                                   other=SERVERS["other"].url)
    device = harness.Device(build, root, f"row{index}", address, row.user, row.password)
    if row.memos:
        device.set_memos(row.memos)
    before = device.files()
    code, out, err, seconds, rss = run_measured(device, row.password)
    problems = []
    if code != row.code:
        problems.append(f"exit {code}, not {row.code}")
    if not re.search(row.err, err, re.M) or len(err.splitlines()) > row.err.count(r"\n") + 1:
        problems.append(f"error output does not match {row.err!r}")
    if not re.search(row.out, out) or len(out.splitlines()) > 1:
        problems.append(f"output does not match {row.out!r}")
    if SECRET in out + err:
        problems.append("the password was printed")
    for name, listener in SERVERS.items():
        if name != "main" and listener.requests:
            problems.append(f"{name} listener asked: {[(r.method, r.path) for r in listener.requests][:3]}")
    for request in main.requests:
        if request.method in row.never:
            problems.append(f"{request.method} {request.path} was sent")
        if request.path.startswith("/other/"):
            problems.append(f"{request.method} {request.path} left the calendar")
        if row.user and request.headers.get("Authorization") != harness_authorization():
            problems.append(f"{request.method} {request.path} without the user's credentials")
    if row.main_gets is not None and len(main.requests) != row.main_gets:
        problems.append(f"the server was asked {len(main.requests)} times, not {row.main_gets}")
    after = device.files()
    for i, name in enumerate(("Memos.dat", "Sync.dat")):
        if name in row.same and after[i] != before[i]:
            problems.append(f"{name} changed")
    if after[1] is not None and SECRET.encode() in after[1]:
        problems.append("the password reached Sync.dat")
    if seconds > row.seconds:
        problems.append(f"took {seconds:.1f} s of processor time, more than {row.seconds} s")
    if row.rss_mb and rss > row.rss_mb:
        problems.append(f"peak memory {rss:.0f} MiB, more than {row.rss_mb} MiB")
    return problems, seconds, rss, out + err


def harness_authorization():
    import base64
    return "Basic " + base64.b64encode(f"anna:{SECRET}".encode()).decode()


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: test_hostile.py BUILD_FOLDER [NAME_PART]")
    build = os.path.abspath(sys.argv[1])
    if not os.access(os.path.join(build, "bin", "kestrivel"), os.X_OK):
        sys.exit(f"hostile: {build}/bin/kestrivel not built")
    part = sys.argv[2] if len(sys.argv) > 2 else ""
    try:
        SERVERS.update(main=Listener("127.0.0.1"), other=Listener(OTHER_HOST), port=Listener("127.0.0.1"))
    except OSError as e:
        print(f"hostile: skipped, cannot listen on {OTHER_HOST}: {e}")
        return harness.SKIP
    os.environ["no_proxy"] = os.environ["NO_PROXY"] = "127.0.0.1,127.0.0.2,0.0.0.0"
    passed = failed = 0
    try:
        with tempfile.TemporaryDirectory(prefix="kestrivel-hostile-") as root:
            ZONE_FOLDER["root"] = root
            for index, row in enumerate(ROWS):
                if part not in row.name:
                    continue
                problems, seconds, rss, said = check(row, build, root, index)
                figures = f"{seconds:.2f} s of processor time, peak {rss:.0f} MiB"
                if problems:
                    failed += 1
                    print(f"hostile: {row.name}: FAILED: " + "; ".join(problems) + "\n    " +
                          said.strip().replace("\n", "\n    "), flush=True)
                else:
                    passed += 1
                    print(f"hostile: {row.name}: ok ({figures})", flush=True)
                if row.figure:
                    print(f"figure: {row.figure} " + (f"{rss:.0f} MiB" if row.rss_mb else f"{seconds:.2f} s"))
    finally:
        for listener in SERVERS.values():
            listener.stop()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
