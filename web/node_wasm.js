// quarvel-sim under node: the .wasm is read from beside the .js before the
// loader goes looking for it, since node 20's fetch cannot read a file.
if (typeof process === "object" && typeof require === "function") {
  Module["wasmBinary"] = require("fs").readFileSync(__filename.replace(/\.js$/, ".wasm"));
}
