/*
 * The browser module's JavaScript API (docs/wasm.md), put after the
 * module's own loader: createQuorlanChecker() starts one instance of the
 * checker, and its functions call the binding (api.cpp) with a menu's
 * bytes, the disc's names and the settings, and hand back what it left.
 *
 * The disc is a list of names under the menu's folder, put into the
 * module's memory file system as empty files and folders; it is put there
 * again only when a call gives another list, and the checker's listings of
 * the last one are then dropped. The module's loader is given the .wasm's
 * bytes where it runs under Node, whose fetch cannot take a file's path.
 */
(function (root) {
  'use strict';
  var loader = QuorlanModule;
  var MENU_FOLDER = '/quorlan/disc';
  var ENCODINGS = ['utf-8-marked', 'utf-8', 'code-page']; // as the binding numbers them
  var encoder = new TextEncoder(), decoder = new TextDecoder('utf-8');
  var onNode = typeof process === 'object' && process.versions && process.versions.node &&
               typeof __filename === 'string';

  // The loader's settings: the caller's, and under Node the .wasm beside
  // this file, where there is one (a single-file build carries it inside).
  function loaderSettings(given) {
    var settings = {};
    for (var key in given || {}) settings[key] = given[key];
    if (onNode && !settings.wasmBinary && !settings.instantiateWasm) {
      var fs = require('fs'), wasm = __filename.replace(/\.js$/, '.wasm');
      if (fs.existsSync(wasm)) settings.wasmBinary = fs.readFileSync(wasm);
    }
    return settings;
  }

  // The menu as bytes: a string is UTF-8, as an editor saves new text.
  function bytesOf(menu) {
    if (typeof menu === 'string') return encoder.encode(menu);
    if (menu instanceof Uint8Array) return menu;
    if (menu instanceof ArrayBuffer) return new Uint8Array(menu);
    throw new TypeError('a menu is a string, a Uint8Array or an ArrayBuffer');
  }

  // A replacement character, or half of a surrogate pair: what a browser
  // gives for a name it could not read as text, not the disc's own name.
  var UNHELD = /\uFFFD|[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?:^|[^\uD800-\uDBFF])[\uDC00-\uDFFF]/;

  // The disc's names as files and folders to make, each path from the
  // menu's folder: a name ending in '/', or holding others, is a folder.
  // A name that cannot be held is not made; its folder is unlisted.
  function planDisc(names) {
    if (!Array.isArray(names)) throw new TypeError('the disc is a list of names');
    var kinds = Object.create(null), order = [], unlisted = Object.create(null), unread = [];
    function take(path, folder, name) {
      var known = kinds[path];
      if (known === undefined) {
        kinds[path] = folder;
        order.push(path);
      } else if (known !== folder) {
        throw new RangeError('the disc has ' + JSON.stringify(name) + ' as a file and as a folder');
      }
    }
    names.forEach(function (name) {
      if (typeof name !== 'string') throw new TypeError('a name on the disc is a string');
      var parts = name.split('/').filter(function (part) { return part !== ''; });
      parts.forEach(function (part) {
        if (part === '.' || part === '..' || part.indexOf('\0') >= 0)
          throw new RangeError('a name on the disc stays under the menu\'s folder: ' + JSON.stringify(name));
      });
      for (var i = 1; i <= parts.length; i++) {
        if (UNHELD.test(parts[i - 1])) {
          unlisted[parts.slice(0, i - 1).join('/')] = true;
          unread.push(name);
          break;
        }
        take(parts.slice(0, i).join('/'), i < parts.length || /\/$/.test(name), name);
      }
    });
    return {made: order.map(function (path) { return {path: path, folder: kinds[path]}; }),
            unlisted: Object.keys(unlisted), unread: unread};
  }

  function removeTree(FS, path) {
    FS.readdir(path).forEach(function (name) {
      if (name === '.' || name === '..') return;
      var inner = path + '/' + name;
      if (FS.isDir(FS.lstat(inner).mode)) removeTree(FS, inner);
      else FS.unlink(inner);
    });
    FS.rmdir(path);
  }

  function makeChecker(module) {
    var FS = module.FS, stopped = null, discKey = null;
    FS.mkdir('/quorlan');
    FS.mkdir(MENU_FOLDER);

    // Calls the binding's function; an abort (memory exhausted) ends the instance.
    function call(name, args) {
      if (stopped) throw new Error('the checker stopped (' + stopped + '): make a new one');
      try {
        return module['_quorlan_' + name].apply(null, args);
      } catch (e) {
        stopped = String(e && e.message || e);
        throw e;
      }
    }

    function withBytes(bytes, use) {
      var at = module._malloc(Math.max(bytes.length, 1));
      if (!at) throw new RangeError('no room in the checker\'s memory for ' + bytes.length + ' bytes');
      module.HEAPU8.set(bytes, at);
      try {
        return use(at, bytes.length);
      } finally {
        module._free(at);
      }
    }

    function output(name) {
      var at = call(name, []), size = call(name + '_size', []);
      return module.HEAPU8.slice(at, at + size);
    }

    function text(name) { return decoder.decode(output(name)); }

    function useDisc(names) {
      var key = names.join('\0');
      if (key === discKey) return;
      var plan = planDisc(names);
      discKey = null;
      removeTree(FS, MENU_FOLDER);
      FS.mkdir(MENU_FOLDER);
      plan.made.forEach(function (entry) {
        var path = MENU_FOLDER + '/' + entry.path;
        if (entry.folder) FS.mkdir(path);
        else FS.writeFile(path, new Uint8Array(0));
      });
      call('forget_disc', []);
      plan.unlisted.forEach(function (folder) {
        withBytes(encoder.encode(folder), function (at, size) { call('unlisted_names', [at, size]); });
      });
      discKey = key;
    }

    // Takes the call's settings, as the command line's options: the
    // disc, the users' code page, the drive letter, the file check and
    // the codes left out.
    function useSettings(options) {
      options = options || {};
      var codePage = options.codePage === undefined ? 1252 : options.codePage;
      var drive = options.drive === undefined ? 'D' : options.drive;
      var leftOut = options.leftOut || [];
      if (typeof drive !== 'string' || drive.length !== 1) throw new RangeError('the drive is one letter');
      if (!Array.isArray(leftOut)) throw new TypeError('leftOut is a list of codes');
      if (typeof codePage !== 'number' || codePage !== (codePage >>> 0)) throw new RangeError('a code page is a number');
      useDisc(options.disc || []);
      var codes = encoder.encode(leftOut.map(String).map(function (code) { return code + '\n'; }).join('') + '\0');
      var status = withBytes(codes, function (at) {
        return call('use_settings', [codePage, drive.charCodeAt(0), options.files === false ? 0 : 1, at]);
      });
      if (status !== 0) throw new RangeError(JSON.parse(text('answer')));
    }

    function run(name, menu, options, more) {
      var bytes = bytesOf(menu);
      useSettings(options);
      return withBytes(bytes, function (at, size) { return call(name, [at, size].concat(more || [])); });
    }

    function answer() { return JSON.parse(text('answer')); }

    // The report as --json gives it: its text (the same bytes, as UTF-8),
    // read, and the exit status.
    function report(status) {
      var json = text('report');
      return {status: status, json: json, report: json ? JSON.parse(json) : null};
    }

    return {
      check: function (menu, options) {
        return report(run('check', menu, options));
      },
      fix: function (menu, options) {
        var status = run('fix', menu, options, [options && options.all ? 1 : 0]);
        var result = report(status);
        result.bytes = output('bytes');
        result.fixed = status === 2 ? [] : answer().fixed;
        return result;
      },
      format: function (menu, options) {
        var fix = options && options.fix;
        if (fix !== undefined && fix !== false && fix !== 'safe' && fix !== 'all')
          throw new RangeError('fix is false, "safe" or "all"');
        var status = run('format', menu, options, [fix === 'all' ? 2 : fix === 'safe' ? 1 : 0]);
        var result = answer();
        result.status = status;
        result.bytes = status === 0 ? output('bytes') : null;
        return result;
      },
      complete: function (menu, offset, options) {
        if (typeof offset !== 'number' || offset < 0 || offset !== Math.floor(offset))
          throw new RangeError('an offset is a count of bytes');
        run('complete', menu, options, [offset]);
        return answer();
      },
      outline: function (menu, options) {
        var at = options && options.at !== undefined ? options.at : -1;
        return run('outline', menu, options, [at]) === 0 ? answer() : null;
      },
      words: function (menu, options) {
        return run('words', menu, options) === 0 ? answer() : null;
      },
      window: function (menu, options) {
        var width = options && options.width || 0, height = options && options.height || 0;
        return run('window', menu, options, [width, height]) === 0 ? answer() : null;
      },
      decode: function (menu, options) {
        var bytes = bytesOf(menu);
        run('decode', bytes, options);
        var result = answer(), out = output('bytes'), units = result.units;
        var starts = new Int32Array(out.buffer.slice(units * 2));
        var chars = new Uint16Array(out.buffer.slice(0, units * 2)), parts = [];
        for (var i = 0; i < units; i += 8192) parts.push(String.fromCharCode.apply(null, chars.subarray(i, i + 8192)));
        return {encoding: result.encoding, text: parts.join(''), starts: starts};
      },
      encode: function (text, options) {
        var encoding = ENCODINGS.indexOf(options && options.encoding || 'utf-8');
        if (typeof text !== 'string') throw new TypeError('the text is a string');
        if (encoding < 0) throw new RangeError('the encoding is one of ' + ENCODINGS.join(', '));
        var units = new Uint8Array(text.length * 2);
        for (var i = 0; i < text.length; i++) {
          var unit = text.charCodeAt(i);
          units[2 * i] = unit & 0xFF;
          units[2 * i + 1] = unit >> 8;
        }
        useSettings(options);
        withBytes(units, function (at) { return call('encode', [at, text.length, encoding]); });
        return {bytes: output('bytes'), unheld: answer().unheld};
      },
      memory: function () {
        return {heap: module.HEAPU8.length, inUse: call('memory_in_use', [])};
      },
      // The disc's names that are left out, as not its own (above).
      unread: function (names) {
        return planDisc(names).unread;
      },
      launch: function (text, options) {
        if (typeof text !== 'string') throw new TypeError('the text is a string');
        // The box's text as UTF-16 units, in the module's (little-endian) order.
        var wide = new Uint16Array(text.length);
        for (var i = 0; i < text.length; i++) wide[i] = text.charCodeAt(i);
        useSettings(options);
        withBytes(new Uint8Array(wide.buffer), function (at) { return call('launch', [at, text.length]); });
        return answer().launch;
      },
    };
  }

  // Starts an instance; settings go to the module's loader (wasmBinary,
  // locateFile, instantiateWasm, ...). Yields a promise of the checker.
  function createQuorlanChecker(settings) {
    return loader(loaderSettings(settings)).then(makeChecker);
  }

  if (typeof module === 'object' && module.exports) module.exports = {createQuorlanChecker: createQuorlanChecker};
  else root.createQuorlanChecker = createQuorlanChecker;
})(typeof globalThis === 'object' ? globalThis : this);
