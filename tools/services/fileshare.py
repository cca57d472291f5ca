#!/usr/bin/env python3
"""Korvane level share: runs vsftpd (anonymous, with an upload folder) on our own config, and
files what players upload.

Layout below --root: korvane/levels/ holds the shared levels and "index"; players upload into
korvane/levels/upload/ as "<file>#<password>". A new file name is filed and remembers its
password; an existing one is replaced only when the password matches, otherwise the upload
is dropped (a level the host put in by hand has no password and is never replaced). After each filing "index" is written anew (one line per level: file name, title,
author, flags, upload time). vsftpd needs root here for its chroot; the share itself is
readable by everyone and writable only in upload/.
"""

import argparse
import hashlib
import json
import logging
import os
import re
import signal
import subprocess
import sys
import time

REMOTE_DIRECTORY = "korvane/levels"
UPLOAD_DIRECTORY = "upload"
INDEX_FILE = "index"
STATE_FILE = "fileshare.json"
MAX_NAME_LENGTH = 128
MAX_LEVEL_SIZE = 16 * 1024 * 1024
# An upload is filed once it has not changed for this many seconds.
SETTLE_TIME = 1.0
# An upload that is still not a whole level after this many seconds is dropped.
STALE_TIME = 60.0
# Sessions vsftpd serves at once, in all and from one address; each is a process of its own.
MAX_CLIENTS = 100
MAX_PER_IP = 10
FLAG_SINGLE_PLAYER = 1
FLAG_MULTIPLAYER = 2

VSFTPD_CONFIG = """\
listen=YES
listen_address={address}
listen_port={port}
background=NO
anonymous_enable=YES
local_enable=NO
ftp_username={ftp_user}
nopriv_user={ftp_user}
anon_root={root}
no_anon_password=NO
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=NO
anon_other_write_enable=NO
anon_world_readable_only=NO
anon_umask=022
pasv_enable=YES
max_clients={max_clients}
max_per_ip={max_per_ip}
pasv_address={pasv_address}
connect_from_port_20=NO
seccomp_sandbox=NO
secure_chroot_dir={empty}
xferlog_enable=YES
xferlog_std_format=NO
vsftpd_log_file={log}
syslog_enable=NO
"""


def plain_name(name):
    try:
        # A name that is not UTF-8 (listed with stand-in characters) could not be written to "index".
        name.encode("utf-8")
    except UnicodeEncodeError:
        return False
    return (0 < len(name) <= MAX_NAME_LENGTH and ".." not in name and
            not any(c in name for c in "/\\:#\"") and all(ord(c) >= 32 and ord(c) != 127 for c in name))


def token(text):
    """One index token, quoted when it is empty or holds a blank or a quote."""
    if text and " " not in text and '"' not in text:
        return text
    return '"' + text.replace('"', '""') + '"'


def single_line(text):
    return re.sub(r"[\r\n\t]+", " ", text).strip()


def unescape(text):
    for escaped, plain in (("&lt;", "<"), ("&gt;", ">"), ("&quot;", '"'), ("&apos;", "'"), ("&amp;", "&")):
        text = text.replace(escaped, plain)
    return text


def complete(path):
    """A level file ends with its root's closing tag; anything else is a broken upload."""
    with open(path, "rb") as level:
        level.seek(0, os.SEEK_END)
        level.seek(max(0, level.tell() - 64))
        return level.read().rstrip().endswith(b"</level>")


def describe_level(path):
    """Title, author and flags of a level file, read without trusting it."""
    with open(path, "rb") as level:
        text = level.read(MAX_LEVEL_SIZE).decode("utf-8", errors="replace")

    def value(name):
        match = re.search(r"<%s>([^<]*)</%s>" % (name, name), text)
        return single_line(unescape(match.group(1)))[:MAX_NAME_LENGTH] if match else ""

    flags = 0
    if re.search(r"<name>\s*spstart\s*</name>", text):
        flags |= FLAG_SINGLE_PLAYER
    if re.search(r"<name>\s*mpstart\s*</name>", text):
        flags |= FLAG_MULTIPLAYER
    return value("title"), value("author"), flags


class Share:
    def __init__(self, root, state_directory):
        self.levels = os.path.join(root, REMOTE_DIRECTORY)
        self.uploads = os.path.join(self.levels, UPLOAD_DIRECTORY)
        self.state_path = os.path.join(state_directory, STATE_FILE)
        self.state = {}
        self.indexed = None
        if os.path.exists(self.state_path):
            with open(self.state_path) as state:
                self.state = json.load(state)

    def prepare(self, ftp_user):
        os.makedirs(self.uploads, exist_ok=True)
        # vsftpd refuses a chroot its user may write to; only upload/ is open to it.
        for directory in (os.path.dirname(os.path.dirname(self.levels)), os.path.dirname(self.levels), self.levels):
            os.chmod(directory, 0o755)
        os.chmod(self.uploads, 0o733)
        if ftp_user and os.geteuid() == 0:
            import pwd
            entry = pwd.getpwnam(ftp_user)
            os.chown(self.uploads, entry.pw_uid, entry.pw_gid)
        if not os.path.exists(os.path.join(self.levels, INDEX_FILE)):
            self.write_index()

    def file_uploads(self):
        changed = False
        now = time.time()
        for entry in sorted(os.listdir(self.uploads)):
            path = os.path.join(self.uploads, entry)
            try:
                info = os.lstat(path)
            except FileNotFoundError:
                continue
            # Whether or not it is still arriving: an upload that never ends must not grow on.
            if info.st_size > MAX_LEVEL_SIZE:
                logging.info("Upload '%s' refused (over %d bytes)", entry, MAX_LEVEL_SIZE)
                os.remove(path)
                continue
            if now - info.st_mtime < SETTLE_TIME:
                continue
            name, _, password = entry.partition("#")
            changed |= self.file_upload(path, name, password, info)
        # Levels the host puts in or removes by hand are indexed too.
        listing = self.listing()
        if changed or listing != self.indexed:
            self.write_index()
            self.indexed = listing

    def listing(self):
        entries = []
        for name in sorted(os.listdir(self.levels)):
            if name not in (INDEX_FILE, UPLOAD_DIRECTORY) and not name.startswith("."):
                info = os.stat(os.path.join(self.levels, name))
                entries.append((name, info.st_size, info.st_mtime))
        return entries

    def file_upload(self, path, name, password, info):
        target = os.path.join(self.levels, name)
        secret = hashlib.sha256(password.encode("utf-8", errors="replace")).hexdigest()
        known = self.state.get(name)
        if os.path.isfile(path) and not complete(path) and time.time() - info.st_mtime < STALE_TIME:
            return False  # maybe still arriving
        if (not os.path.isfile(path) or os.path.islink(path) or not plain_name(name) or
                name in (INDEX_FILE, UPLOAD_DIRECTORY) or info.st_size > MAX_LEVEL_SIZE or not complete(path) or
                (known is not None and known["password"] != secret) or
                (known is None and os.path.exists(target))):
            logging.info("Upload '%s' refused", os.path.basename(path))
            os.remove(path)
            return False
        os.chmod(path, 0o644)
        os.replace(path, target)
        self.state[name] = {"password": secret, "time": int(time.time())}
        self.save_state()
        logging.info("Filed '%s'%s", name, " (replaced)" if known else "")
        return True

    def save_state(self):
        temporary = self.state_path + ".tmp"
        with open(temporary, "w") as state:
            json.dump(self.state, state)
        os.replace(temporary, self.state_path)

    def write_index(self):
        lines = []
        for name in sorted(os.listdir(self.levels)):
            path = os.path.join(self.levels, name)
            if name in (INDEX_FILE, UPLOAD_DIRECTORY) or not plain_name(name) or not os.path.isfile(path):
                continue
            title, author, flags = describe_level(path)
            uploaded = self.state.get(name, {}).get("time", int(os.path.getmtime(path)))
            lines.append(" ".join([token(name), token(title), token(author), str(flags), str(uploaded)]))
        temporary = os.path.join(self.levels, "." + INDEX_FILE + ".tmp")
        with open(temporary, "w", encoding="utf-8", newline="\n") as index:
            index.write("".join(line + "\n" for line in lines))
        os.chmod(temporary, 0o644)
        os.replace(temporary, os.path.join(self.levels, INDEX_FILE))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder that holds the share (created when missing)")
    parser.add_argument("--address", default="0.0.0.0", help="address vsftpd listens on (default all)")
    parser.add_argument("--pasv-address", default="127.0.0.1",
                        help="address named in passive replies (the game uses the server's own anyway)")
    parser.add_argument("--port", type=int, default=4021, help="FTP control port (default 4021)")
    parser.add_argument("--ftp-user", default="ftp", help="system user for anonymous sessions (default ftp)")
    parser.add_argument("--interval", type=float, default=2.0, help="seconds between upload scans")
    parser.add_argument("--vsftpd", default="/usr/sbin/vsftpd")
    args = parser.parse_args()
    logging.basicConfig(level=logging.INFO, format="%(asctime)s fileshare %(message)s")

    root = os.path.abspath(os.path.join(args.root, "ftp"))
    state_directory = os.path.abspath(args.root)
    os.makedirs(root, exist_ok=True)
    share = Share(root, state_directory)
    share.prepare(args.ftp_user)
    empty = os.path.join(state_directory, "empty")
    os.makedirs(empty, exist_ok=True)
    config = os.path.join(state_directory, "vsftpd.conf")
    with open(config, "w") as out:
        out.write(VSFTPD_CONFIG.format(address=args.address, port=args.port, ftp_user=args.ftp_user, root=root,
                                       pasv_address=args.pasv_address, empty=empty, max_clients=MAX_CLIENTS,
                                       max_per_ip=MAX_PER_IP,
                                       log=os.path.join(state_directory, "vsftpd.log")))
    server = subprocess.Popen([args.vsftpd, config])

    def stop(*_):
        server.terminate()
        try:
            server.wait(timeout=5)
        except subprocess.TimeoutExpired:
            server.kill()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    logging.info("Level share on %s port %d, files in %s", args.address, args.port, share.levels)
    while server.poll() is None:
        try:
            share.file_uploads()
        except Exception as error:  # one bad upload must not end the filing for everyone
            logging.error("Filing uploads failed: %s", error)
        time.sleep(args.interval)
    logging.error("vsftpd ended with %s", server.returncode)
    sys.exit(1)


if __name__ == "__main__":
    main()
