// The page's steps from navigation to its first frame, as performance marks
// that bench/web.sh reads: the script running (zt-script), the wasm compiled
// as it downloads (zt-compiled), instantiated (zt-instantiated) and its
// static constructors run (zt-constructed). library_zentrick.js marks the
// first frame painted (zt-painted).
performance.mark('zt-script');
Module['instantiateWasm'] = function (imports, receive) {
  var fetchWasm = function () { return fetch('zentrick.wasm', { credentials: 'same-origin' }); };
  var whole = function () {
    return fetchWasm().then(function (response) { return response.arrayBuffer(); }).then(WebAssembly.compile);
  };
  // Compiled while it downloads, where the browser can and the server says
  // application/wasm; else from the whole file.
  var compiled = typeof WebAssembly.compileStreaming === 'function'
    ? WebAssembly.compileStreaming(fetchWasm()).catch(whole) : whole();
  compiled.then(function (module) {
    performance.mark('zt-compiled');
    return WebAssembly.instantiate(module, imports).then(function (instance) {
      performance.mark('zt-instantiated');
      receive(instance, module);
    });
  }).catch(abort);
  return {};
};
Module['onRuntimeInitialized'] = function () { performance.mark('zt-constructed'); };
