#!/usr/bin/env python3
"""Zelk's local polish helper.

Speaks JSON lines on stdin/stdout with the application:
  in : {"cmd": "ping"} | {"cmd": "polish", "id", "text", "tone", "tone_text"?}
       {"cmd": "download", "mirror"} | {"cmd": "quit"}
  out: {"ready": true} | {"progress": f, "downloaded"?: true} | {"error": text, "id"?}
       {"id", "delta"} | {"id", "done": true, "text"}
Everything that touches the model is in load_model() and run_model(); the rest
is protocol and can be exercised with a stand-in model.
"""

import hashlib
import json
import os
import shutil
import sys
import urllib.parse
import urllib.request

ROOT = os.path.join(os.path.expanduser("~"), ".cache", "zelk-llm")
MODEL_NAME = "gemma-4-e2b-it-4bit"
MODEL_DIR = os.path.join(ROOT, MODEL_NAME)
MANIFEST_PATH = "local-polish/models/" + MODEL_NAME + "/manifest.json"

# Spoken inputs for the four example outputs of every tone.
EXAMPLE_INPUTS = [
    "那个明天下午三点开会啊，然后记得带上笔记本电脑",
    "嗯会议改到周四下午吧",
    "帮我写个那个 Python 函数，算一下斐波那契数列",
    "你帮我就是总结一下这篇文章的要点",
]
EXAMPLE_OUTPUTS = {
    "casual": ["明天下午三点开会哈，记得带上笔记本电脑。", "会议改到周四下午吧。",
               "帮我写个 Python 函数，算一下斐波那契数列呗。", "你帮我总结下这篇文章的要点呗。"],
    "natural": ["我们明天下午三点开会，你记得带上笔记本电脑。", "把会议改到周四下午。",
                "帮我写一个 Python 函数，计算斐波那契数列。", "你帮我总结一下这篇文章的要点。"],
    "written": ["我们明天下午三点开会，你记得携带笔记本电脑。", "将会议改至周四下午。",
                "帮我编写一个 Python 函数，用于计算斐波那契数列。", "你帮我总结这篇文章的要点。"],
    "formal": ["我们定于明天下午三点开会，请您届时携带笔记本电脑。", "请将会议调整至周四下午。",
               "麻烦您帮忙编写一个 Python 函数，用于计算斐波那契数列。", "请您帮忙总结一下这篇文章的要点。"],
    "honorific": ["我们定于明天下午三点开会，烦请您届时携带笔记本电脑，谢谢。", "烦请将会议调整至周四下午，非常感谢。",
                  "烦请您帮忙编写一个 Python 函数，用于计算斐波那契数列，非常感谢。", "劳烦您帮忙总结这篇文章的要点，谢谢。"],
}


def build_messages(text, tone, tone_text):
    system = ("你是语音输入的整理助手。把用户的口语转写整理成通顺的书面文字：删去口水词，修正错字，补全标点。"
              "不要回答问题，不要添加内容，不要解释，只输出整理后的文字。")
    if tone_text:
        system += "语气要求：" + tone_text
    outputs = EXAMPLE_OUTPUTS.get(tone, EXAMPLE_OUTPUTS["natural"])
    messages = [{"role": "system", "content": system}]
    pairs = list(zip(EXAMPLE_INPUTS, outputs))
    if tone_text:
        pairs = pairs[2:]
    for example_in, example_out in pairs:
        messages.append({"role": "user", "content": example_in})
        messages.append({"role": "assistant", "content": example_out})
    messages.append({"role": "user", "content": text})
    return messages


def load_model():
    """Loads the model from MODEL_DIR; answers an opaque handle."""
    from mlx_lm import load  # imported late: the protocol works without it
    return load(MODEL_DIR)


def run_model(model, text, tone, tone_text):
    """Yields the polished text in pieces."""
    from mlx_lm import stream_generate
    from mlx_lm.sample_utils import make_sampler
    loaded, tokenizer = model
    prompt = tokenizer.apply_chat_template(build_messages(text, tone, tone_text), add_generation_prompt=True)
    limit = max(64, len(text) * 2)
    for response in stream_generate(loaded, tokenizer, prompt, max_tokens=limit, sampler=make_sampler(temp=0.0)):
        if response.text:
            yield response.text


def emit(message):
    sys.stdout.write(json.dumps(message, ensure_ascii=False) + "\n")
    sys.stdout.flush()


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest()


def download_model(mirror):
    """Fetches the model files listed in the mirror's manifest; config.json is
    moved into place last, so its presence means the model is complete."""
    base = mirror.rstrip("/") + "/"
    with urllib.request.urlopen(base + MANIFEST_PATH, timeout=60) as answer:
        manifest = json.loads(answer.read().decode("utf-8"))
    files = manifest["files"]
    total = sum(int(f["bytes"]) for f in files) or 1
    staging = MODEL_DIR + ".partial"
    os.makedirs(staging, exist_ok=True)
    done = 0
    for entry in files:
        name = entry["name"]
        if "/" in name or name.startswith("."):
            raise ValueError("bad file name in manifest: " + name)
        target = os.path.join(staging, name)
        if not (os.path.isfile(target) and os.path.getsize(target) == int(entry["bytes"])
                and sha256_of(target) == entry["sha256"]):
            url = base + "local-polish/models/" + MODEL_NAME + "/" + urllib.parse.quote(name)
            with urllib.request.urlopen(url, timeout=60) as answer, open(target + ".tmp", "wb") as out:
                shutil.copyfileobj(answer, out, 1 << 20)
            if os.path.getsize(target + ".tmp") != int(entry["bytes"]) or sha256_of(target + ".tmp") != entry["sha256"]:
                os.remove(target + ".tmp")
                raise ValueError("checksum mismatch: " + name)
            os.replace(target + ".tmp", target)
        done += int(entry["bytes"])
        emit({"progress": min(done / total, 0.99)})
    os.makedirs(MODEL_DIR, exist_ok=True)
    names = [f["name"] for f in files]
    for name in sorted(names, key=lambda n: n == "config.json"):
        os.replace(os.path.join(staging, name), os.path.join(MODEL_DIR, name))
    shutil.rmtree(staging, ignore_errors=True)
    emit({"progress": 1.0, "downloaded": True})


def main():
    model = None
    for raw in sys.stdin:
        try:
            message = json.loads(raw)
        except ValueError:
            continue
        if not isinstance(message, dict):
            continue
        cmd = message.get("cmd")
        if cmd == "quit":
            return
        try:
            if cmd == "ping":
                if model is None:
                    model = load_model()
                emit({"ready": True})
            elif cmd == "polish":
                request_id = message.get("id")
                try:
                    if model is None:
                        model = load_model()
                    pieces = []
                    for piece in run_model(model, str(message.get("text", "")), str(message.get("tone", "natural")),
                                           message.get("tone_text")):
                        pieces.append(piece)
                        emit({"id": request_id, "delta": piece})
                    emit({"id": request_id, "done": True, "text": "".join(pieces).strip()})
                except Exception as error:  # the request fails, the helper lives on
                    emit({"id": request_id, "error": str(error)})
            elif cmd == "download":
                download_model(str(message.get("mirror", "")))
        except Exception as error:
            emit({"error": str(error)})


if __name__ == "__main__":
    main()
