/*
 * The WebAssembly build's side of the platform, in JavaScript: what the C
 * library over Node's file system cannot give as the native build gets it.
 *
 * - Names as bytes. Emscripten hands paths to Node as JavaScript strings,
 *   so a name that is not UTF-8 is lost on the way. Node takes and gives
 *   names as raw bytes in Buffers, and these functions use them in the
 *   build for Node (NODERAWFS). In the browser module, even where Node
 *   runs it, the disc is the page's in-memory file system, whose names
 *   are text already.
 * - Waiting input. poll() on standard input does not work there, and the
 *   module's loop is synchronous, so Node's stream events never run while
 *   it waits. Whether input waits is found by a read that does not block,
 *   through a second opening of standard input (Linux's /proc/self/fd/0,
 *   whose flags are its own); what it reads is kept for the next read.
 *   A socket (as Node's child processes get) cannot be opened again: it
 *   is made non-blocking itself, and a read that must wait sleeps between
 *   tries, at most 20 ms, rather than spin. Where neither works, no input
 *   is ever said to wait, and the server answers each message as it comes.
 */
mergeInto(LibraryManager.library, {
  $QuorlanNames: {
#if NODERAWFS
    raw: true,         // the machine's own files, through Node
#else
    raw: false,        // the module's memory file system
#endif
    fs: function () { return QuorlanNames.raw ? require('fs') : null; },
    // The path's bytes, as a Buffer for Node, or as text for the page's files.
    path: function (path, length) {
      var bytes = HEAPU8.slice(path, path + length);
      if (QuorlanNames.raw) return bytes.length ? Buffer.from(bytes) : '.';
      return bytes.length ? UTF8ArrayToString(bytes, 0, bytes.length) : '.';
    },
    kept: null,        // bytes of standard input read while looking whether it waits
    peek: undefined,   // the non-blocking opening of standard input, or null where there is none
  },

  // Yields the folder's names, each ended by a zero byte, in memory the
  // caller frees (*size: their bytes), or null where path is not a folder.
  quorlan_list_folder__deps: ['$QuorlanNames', 'malloc'],
  quorlan_list_folder: function (path, length, size) {
    var names;
    try {
      var where = QuorlanNames.path(path, length);
      if (QuorlanNames.raw) {
        names = QuorlanNames.fs().readdirSync(where, {encoding: 'buffer'});
      } else {
        names = FS.readdir(where).map(function (name) {
          var bytes = new Uint8Array(lengthBytesUTF8(name) + 1);
          stringToUTF8Array(name, bytes, 0, bytes.length);
          return bytes.subarray(0, bytes.length - 1);
        });
      }
    } catch (e) {
      return 0;
    }
    var total = 0;
    names.forEach(function (name) { total += name.length + 1; });
    var out = _malloc(total + 1), at = out;
    names.forEach(function (name) {
      HEAPU8.set(name, at);
      at += name.length;
      HEAPU8[at++] = 0;
    });
    HEAPU32[size >> 2] = total;
    return out;
  },
  quorlan_list_folder__sig: 'iiii',

  // Yields 2 for a folder, 1 for anything else there, 0 for nothing; *time
  // gets its modification time in nanoseconds since 1970.
  quorlan_stat_path__deps: ['$QuorlanNames'],
  quorlan_stat_path: function (path, length, time) {
    var ns, folder;
    try {
      var where = QuorlanNames.path(path, length);
      if (QuorlanNames.raw) {
        var status = QuorlanNames.fs().statSync(where, {bigint: true});
        ns = status.mtimeNs;
        folder = status.isDirectory();
      } else {
        var node = FS.stat(where);
        ns = BigInt(node.mtime.getTime()) * BigInt(1000000);
        folder = FS.isDir(node.mode);
      }
    } catch (e) {
      return 0;
    }
    HEAP32[time >> 2] = Number(BigInt.asUintN(32, ns));
    HEAP32[(time >> 2) + 1] = Number(BigInt.asIntN(32, ns >> BigInt(32)));
    return folder ? 2 : 1;
  },

  // Reads the whole plain file of at most limit bytes: 1 read (*data, in
  // memory the caller frees, and *count), 0 larger than limit, -1 not a
  // plain file or unreadable; *size gets its size.
  quorlan_read_file__deps: ['$QuorlanNames', 'malloc'],
  quorlan_read_file: function (path, length, limit, data, count, size) {
    var bytes;
    try {
      var where = QuorlanNames.path(path, length);
      if (QuorlanNames.raw) {
        var fs = QuorlanNames.fs(), status = fs.statSync(where);
        if (!status.isFile()) return -1;
        HEAPF64[size >> 3] = status.size;
        if (status.size > limit) return 0;
        bytes = fs.readFileSync(where);
      } else {
        bytes = FS.readFile(where);
        HEAPF64[size >> 3] = bytes.length;
      }
    } catch (e) {
      return -1;
    }
    HEAPF64[size >> 3] = bytes.length;
    if (bytes.length > limit) return 0;
    var out = _malloc(bytes.length + 1);
    HEAPU8.set(bytes, out);
    HEAPU32[data >> 2] = out;
    HEAPU32[count >> 2] = bytes.length;
    return 1;
  },

  // Reads what standard input has, up to size bytes, waiting for at least
  // one: yields the count, 0 at its end, -1 on an error.
  quorlan_read_input__deps: ['$QuorlanNames'],
  quorlan_read_input: function (buffer, size) {
    var kept = QuorlanNames.kept;
    if (kept && kept.length) {
      var count = Math.min(size, kept.length);
      HEAPU8.set(kept.subarray(0, count), buffer);
      QuorlanNames.kept = kept.subarray(count);
      return count;
    }
    var into = Buffer.alloc(size);
    var sleep = new Int32Array(new SharedArrayBuffer(4)), pause = 1;
    for (;;) {
      try {
        var got = QuorlanNames.fs().readSync(0, into, 0, size, null);
        HEAPU8.set(into.subarray(0, got), buffer);
        return got;
      } catch (e) {
        if (e.code === 'EOF') return 0;
        if (e.code !== 'EAGAIN') return -1;
        // Standard input is non-blocking: sleep a little and read again.
        Atomics.wait(sleep, 0, 0, pause);
        pause = Math.min(20, pause * 2);
      }
    }
  },

  // Whether reading standard input would not wait: bytes, or its end, are there.
  quorlan_input_waiting__deps: ['$QuorlanNames'],
  quorlan_input_waiting: function () {
    if (QuorlanNames.kept && QuorlanNames.kept.length) return 1;
    var fs = QuorlanNames.fs();
    if (QuorlanNames.peek === undefined) {
      QuorlanNames.peek = null;
      var status;
      try {
        status = fs.fstatSync(0);
        if (status.isFile()) return 1;
        QuorlanNames.peek = fs.openSync('/proc/self/fd/0', fs.constants.O_RDONLY | fs.constants.O_NONBLOCK);
      } catch (e) {
        if (!status || !status.isSocket()) return 0;
        try {
          // A pipe handle over the socket sets it non-blocking; it is never read.
          new (require('net').Socket)({fd: 0, readable: false, writable: false});
          QuorlanNames.peek = 0;
        } catch (e2) {
          return 0;
        }
      }
    }
    if (QuorlanNames.peek === null) return fs.fstatSync(0).isFile() ? 1 : 0;
    var into = Buffer.alloc(65536);
    try {
      var got = fs.readSync(QuorlanNames.peek, into, 0, into.length, null);
      if (got > 0) QuorlanNames.kept = into.subarray(0, got);
      return 1; // bytes, or the end
    } catch (e) {
      return e.code === 'EAGAIN' ? 0 : 1;
    }
  },
});
