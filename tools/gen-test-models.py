#!/usr/bin/python3
"""Builds tiny synthetic sherpa-onnx models for the recognition tests.

Run with Debian's python3 (python3-onnx, python3-numpy):
    /usr/bin/python3 tools/gen-test-models.py OUTDIR

Writes one directory per model into OUTDIR:

  streaming/            streaming zipformer2 transducer; emits "OPEN" for every
                        loud 40 ms frame (mean log-mel energy above about -8),
                        blank in silence, so endpoints follow pauses
  offline-silent/       offline transducer that never emits a token
  offline-talking/      offline transducer that says "OPEN ZOOM NOW" for any
                        stretch of at least three frames
  broken-not-onnx/      streaming layout whose encoder is not an ONNX file
  broken-no-model-type/ streaming encoder without its model_type metadata
                        (the library dereferences a null model)
  broken-no-vocab/      offline transducer whose decoder lacks vocab_size
                        (the library exits the process)
  broken-bad-state/     streaming encoder whose key cache is declared one frame
                        longer than its metadata says: loads, then every
                        decode throws

Tensors are bound by position; shapes and metadata follow what sherpa-onnx
1.13.8 reads for zipformer2 and offline transducers.
"""

import os
import sys

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

OPSET = 13
IR_VERSION = 8
FEATURE_DIM = 80
DIM = 5  # joiner dim = decoder dim = vocab size, keeps the graphs one MatMul each
VOCAB = 5
TOKENS = "<blk> 0\n\u2581OPEN 1\n\u2581ZOOM 2\n\u2581NOW 3\n<unk> 4\n"


def save(graph, path, metadata):
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)])
    model.ir_version = IR_VERSION
    for key, value in metadata.items():
        entry = model.metadata_props.add()
        entry.key = key
        entry.value = str(value)
    onnx.checker.check_model(model)
    onnx.save(model, path)


def const(name, array):
    return numpy_helper.from_array(np.asarray(array), name=name)


def streaming_encoder(path, with_model_type=True, key_cache_len=4):
    """x [N,16,80] -> encoder_out [N,4,DIM]: four feature frames per output frame."""
    n = "N"
    states = [
        ("cached_key", TensorProto.FLOAT, [key_cache_len, n, 2]),
        ("cached_nonlin_attn", TensorProto.FLOAT, [1, n, 4, 3]),
        ("cached_val1", TensorProto.FLOAT, [4, n, 2]),
        ("cached_val2", TensorProto.FLOAT, [4, n, 2]),
        ("cached_conv1", TensorProto.FLOAT, [n, 4, 1]),
        ("cached_conv2", TensorProto.FLOAT, [n, 4, 1]),
        ("embed_states", TensorProto.FLOAT, [n, 128, 3, 19]),
        ("processed_lens", TensorProto.INT64, [n]),
    ]
    inputs = [helper.make_tensor_value_info("x", TensorProto.FLOAT, [n, 16, FEATURE_DIM])]
    inputs += [helper.make_tensor_value_info(name, t, shape) for name, t, shape in states]
    outputs = [helper.make_tensor_value_info("encoder_out", TensorProto.FLOAT, [n, 4, DIM])]
    outputs += [helper.make_tensor_value_info("new_" + name, t, shape) for name, t, shape in states]

    w = np.zeros((4 * FEATURE_DIM, DIM), dtype=np.float32)
    w[:, 0] = 1.0 / (4 * FEATURE_DIM)  # channel 0: mean log-mel energy of the four frames
    nodes = [
        helper.make_node("Reshape", ["x", "frames_shape"], ["x4"]),
        helper.make_node("MatMul", ["x4", "w_enc"], ["encoder_out"]),
    ]
    nodes += [helper.make_node("Identity", [name], ["new_" + name]) for name, _, _ in states]
    graph = helper.make_graph(
        nodes, "streaming_encoder", inputs, outputs,
        initializer=[const("frames_shape", np.array([-1, 4, 4 * FEATURE_DIM], dtype=np.int64)), const("w_enc", w)])
    meta = {
        "encoder_dims": "4", "query_head_dims": "2", "value_head_dims": "2", "num_heads": "1",
        "num_encoder_layers": "1", "cnn_module_kernels": "3", "left_context_len": "4",
        "T": "16", "decode_chunk_len": "16",
    }
    if with_model_type:
        meta["model_type"] = "zipformer2"
    save(graph, path, meta)


def offline_encoder(path):
    """x [N,T,80], x_lens [N] -> [N,T,DIM] (channel 0 = mean energy), x_lens."""
    w = np.zeros((FEATURE_DIM, DIM), dtype=np.float32)
    w[:, 0] = 1.0 / FEATURE_DIM
    graph = helper.make_graph(
        [helper.make_node("MatMul", ["x", "w_enc"], ["encoder_out"]),
         helper.make_node("Identity", ["x_lens"], ["encoder_out_lens"])],
        "offline_encoder",
        [helper.make_tensor_value_info("x", TensorProto.FLOAT, ["N", "T", FEATURE_DIM]),
         helper.make_tensor_value_info("x_lens", TensorProto.INT64, ["N"])],
        [helper.make_tensor_value_info("encoder_out", TensorProto.FLOAT, ["N", "T", DIM]),
         helper.make_tensor_value_info("encoder_out_lens", TensorProto.INT64, ["N"])],
        initializer=[const("w_enc", w)])
    save(graph, path, {"model_type": "zipformer2"})


def decoder(path, with_vocab=True):
    """y [N,2] int64 -> one-hot of the last token [N,DIM] (-1 never reaches the last column)."""
    graph = helper.make_graph(
        [helper.make_node("Gather", ["y", "last_index"], ["last"], axis=1),
         helper.make_node("Gather", ["embedding", "last"], ["decoder_out"], axis=0)],
        "decoder",
        [helper.make_tensor_value_info("y", TensorProto.INT64, ["N", 2])],
        [helper.make_tensor_value_info("decoder_out", TensorProto.FLOAT, ["N", DIM])],
        initializer=[const("last_index", np.array(1, dtype=np.int64)),
                     const("embedding", np.eye(VOCAB, DIM, dtype=np.float32))])
    meta = {"context_size": "2"}
    if with_vocab:
        meta["vocab_size"] = str(VOCAB)
    save(graph, path, meta)


def joiner(path, weights, bias):
    """logits = (enc + dec) @ weights + bias."""
    graph = helper.make_graph(
        [helper.make_node("Add", ["enc", "dec"], ["sum"]),
         helper.make_node("MatMul", ["sum", "w_join"], ["product"]),
         helper.make_node("Add", ["product", "b_join"], ["logit"])],
        "joiner",
        [helper.make_tensor_value_info("enc", TensorProto.FLOAT, ["N", DIM]),
         helper.make_tensor_value_info("dec", TensorProto.FLOAT, ["N", DIM])],
        [helper.make_tensor_value_info("logit", TensorProto.FLOAT, ["N", VOCAB])],
        initializer=[const("w_join", weights.astype(np.float32)), const("b_join", bias.astype(np.float32))])
    save(graph, path, {})


def loud_frames_say_open():
    # OPEN when the frame's mean log-mel energy (channel 0) is above -8; the
    # decoder's one-hot adds at most 1, well below the margins used here.
    w = np.zeros((DIM, VOCAB))
    w[0, 1] = 1.0
    b = np.array([0.0, 8.0, -100.0, -100.0, -100.0])
    return w, b


def never_speaks():
    w = np.zeros((DIM, VOCAB))
    b = np.array([10.0, -100.0, -100.0, -100.0, -100.0])
    return w, b


def says_open_zoom_now():
    # The next token depends only on the last one: blank -> OPEN -> ZOOM -> NOW -> blank.
    chain = {0: 1, 1: 2, 2: 3, 3: 0, 4: 0}
    w = np.zeros((DIM, VOCAB))
    for last, following in chain.items():
        w[last, following] = 50.0
    # Channel 0 also carries the energy; keep it from ever winning.
    w[0, :] = 0.0
    w[0, 1] = 0.0
    b = np.zeros(VOCAB)
    b[1] = 25.0  # after blank (one-hot 0, whose row is zeroed) OPEN wins
    return w, b


def write_dir(out, name):
    path = os.path.join(out, name)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, "tokens.txt"), "w", encoding="utf-8") as f:
        f.write(TOKENS)
    return path


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: gen-test-models.py OUTDIR")
    out = sys.argv[1]

    d = write_dir(out, "streaming")
    streaming_encoder(os.path.join(d, "encoder.onnx"))
    decoder(os.path.join(d, "decoder.onnx"))
    joiner(os.path.join(d, "joiner.onnx"), *loud_frames_say_open())

    d = write_dir(out, "offline-silent")
    offline_encoder(os.path.join(d, "encoder.onnx"))
    decoder(os.path.join(d, "decoder.onnx"))
    joiner(os.path.join(d, "joiner.onnx"), *never_speaks())

    d = write_dir(out, "offline-talking")
    offline_encoder(os.path.join(d, "encoder.onnx"))
    decoder(os.path.join(d, "decoder.onnx"))
    joiner(os.path.join(d, "joiner.onnx"), *says_open_zoom_now())

    d = write_dir(out, "broken-not-onnx")
    with open(os.path.join(d, "encoder.onnx"), "wb") as f:
        f.write(b"this is not an onnx model\n")
    decoder(os.path.join(d, "decoder.onnx"))
    joiner(os.path.join(d, "joiner.onnx"), *loud_frames_say_open())

    d = write_dir(out, "broken-no-model-type")
    streaming_encoder(os.path.join(d, "encoder.onnx"), with_model_type=False)
    decoder(os.path.join(d, "decoder.onnx"))
    joiner(os.path.join(d, "joiner.onnx"), *loud_frames_say_open())

    d = write_dir(out, "broken-bad-state")
    streaming_encoder(os.path.join(d, "encoder.onnx"), key_cache_len=5)
    decoder(os.path.join(d, "decoder.onnx"))
    joiner(os.path.join(d, "joiner.onnx"), *loud_frames_say_open())

    d = write_dir(out, "broken-no-vocab")
    offline_encoder(os.path.join(d, "encoder.onnx"))
    decoder(os.path.join(d, "decoder.onnx"), with_vocab=False)
    joiner(os.path.join(d, "joiner.onnx"), *never_speaks())


if __name__ == "__main__":
    main()
