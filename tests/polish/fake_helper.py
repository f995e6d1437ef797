# A helper that speaks the local polish protocol and misbehaves on request.
# The test writes MODE and LOG above this text.
import json
import os
import signal
import sys
import time

with open(LOG, "a") as f:
    f.write(json.dumps({"pid": os.getpid()}) + "\n")


def out(obj):
    data = (obj if isinstance(obj, str) else json.dumps(obj, ensure_ascii=False) + "\n").encode("utf-8")
    if MODE == "split":
        # Byte by byte, so lines (and UTF-8 sequences) arrive cut anywhere.
        for i in range(len(data)):
            sys.stdout.buffer.write(data[i:i + 1])
            sys.stdout.buffer.flush()
            if i % 7 == 0:
                time.sleep(0.001)
    else:
        sys.stdout.buffer.write(data)
        sys.stdout.buffer.flush()


if MODE == "ignore_quit":
    signal.signal(signal.SIGTERM, signal.SIG_IGN)

for line in sys.stdin:
    msg = json.loads(line)
    with open(LOG, "a") as f:
        f.write(json.dumps(msg, ensure_ascii=False) + "\n")
    cmd = msg.get("cmd")
    if cmd == "quit":
        if MODE == "ignore_quit":
            continue
        break
    if cmd == "ping":
        if MODE == "never_ready":
            continue
        if MODE == "flood":
            # 20 MB without a line feed, then a line of its own.
            for _ in range(20):
                sys.stdout.buffer.write(b"x" * (1 << 20))
            sys.stdout.buffer.write(b"\n")
        if MODE == "garbage":
            out("not json\n[1,2]\n{\"id\": \"x\", \"done\": true}\n\"ready\"\n{\"ready\": 1}\n")
            sys.stdout.buffer.write(b"\xff\xfe{\x00}\n")
        out({"ready": True})
    elif cmd == "polish":
        i, text = msg["id"], msg["text"]
        if MODE == "crash":
            os._exit(3)
        if MODE == "hang":
            out({"id": i, "delta": text[:1]})
            continue
        if MODE == "stale":
            out({"id": i - 1, "delta": "旧"})
            out({"id": i + 7, "done": True, "text": "旧"})
        if MODE == "blank":
            out({"id": i, "done": True, "text": " \n "})
            continue
        if MODE == "error_id":
            out({"id": i, "error": "bad request"})
            continue
        if MODE == "tone_sensitive" and msg.get("tone") != "natural":
            out({"id": i, "done": True, "text": "好的，下面是按照您的要求整理后的内容：" + text})
            continue
        if MODE == "error_no_id":
            out({"error": "noise"})
        half = len(text) // 2
        out({"id": i, "delta": text[:half]})
        out({"id": i, "delta": text[half:] + "。", "done": True, "text": " " + text + "。\n"})
    elif cmd == "download":
        out({"progress": 0.25})
        out({"downloaded": True})  # no progress: not an end
        if MODE == "download_fail":
            out({"error": "mirror gone"})
            continue
        model = os.path.join(os.environ["HOME"], ".cache", "zelk-llm", "gemma-4-e2b-it-4bit")
        os.makedirs(model, exist_ok=True)
        open(os.path.join(model, "config.json"), "w").write("{}")
        out({"progress": 1, "downloaded": True})
