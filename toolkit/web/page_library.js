// The page's side of the web backend (web_backend.cpp, webaudio_driver.cpp, open_target.cpp):
// native objects are the page's elements, canvases and audio buffers, named to the program by
// their number in Page.objects.  User input waits in Page.input until the program takes it.

mergeInto(LibraryManager.library, {
  $Page: {
    objects: [null],
    input: [],
    wakeUp: null,
    // Kinds of control, as in ControlKind.
    LABEL: 0, DROPDOWN: 1, BUTTON: 2, PICTURE: 3, WEBVIEW: 4,
    LABEL_CENTER: 0x1, LABEL_SUNKEN_EDGE: 0x20000, PICTURE_SUNKEN_EDGE: 0x200,
    add: function(object) {
      Page.objects.push(object);
      return Page.objects.length - 1;
    },
    screen: function() {
      return document.getElementById('screen');
    },
    // What the user did, for the program's next wait.
    post: function(input) {
      Page.input.push(input);
      if (Page.wakeUp) {
        var wakeUp = Page.wakeUp;
        Page.wakeUp = null;
        wakeUp();
      }
    },
    place: function(element, x, y, width, height) {
      element.style.left = x + 'px';
      element.style.top = y + 'px';
      element.style.width = width + 'px';
      element.style.height = height + 'px';
    },
    // Audio: one context, every sound through a bus to the speakers (and to the recording).
    audio: null,
    bus: null,
    recorded: null,
    // A tap beside the speakers that keeps everything sent to them, for the automation
    // interface (the page opened with ?record).  It runs on the audio thread, so nothing is
    // lost while the program keeps the page's thread busy.
    record: function() {
      var rate = Page.audio.sampleRate;
      Page.recorded = {rate: rate, chunks: [[], []]};
      var code = 'class Tap extends AudioWorkletProcessor {' +
        ' process(inputs) { const i = inputs[0];' +
        ' this.port.postMessage(i.length ? [i[0].slice(), (i[1] || i[0]).slice()] : 128);' +
        ' return true; } }' +
        ' registerProcessor("varnok-tap", Tap);';
      var url = URL.createObjectURL(new Blob([code], {type: 'application/javascript'}));
      Page.audio.audioWorklet.addModule(url).then(function() {
        var tap = new AudioWorkletNode(Page.audio, 'varnok-tap',
          {numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2],
           channelCount: 2, channelCountMode: 'explicit'});
        tap.port.onmessage = function(message) {
          var d = message.data;
          for (var c = 0; c < 2; ++c)
            Page.recorded.chunks[c].push(typeof d == 'number' ? new Float32Array(d) : d[c]);
        };
        Page.bus.connect(tap);
        tap.connect(Page.audio.destination);
      });
    },
  },
  $Page__postset: 'window.varnok = {' +
    ' image: function() { var at = Module["_varnok_image_address"]();' +
    '   return at ? HEAPU8.slice(at, at + Module["_varnok_image_size"]()) : null; },' +
    ' recording: function() { var r = Page.recorded; if (!r) return null;' +
    '   return {rate: r.rate, channels: r.chunks.map(function(chunks) {' +
    '     var n = 0; chunks.forEach(function(c) { n += c.length; });' +
    '     var all = new Float32Array(n), at = 0;' +
    '     chunks.forEach(function(c) { all.set(c, at); at += c.length; }); return all; })}; } };',

  page_window_create__deps: ['$Page'],
  page_window_create: function(id, x, y, width, height, title, flags) {
    var frame = document.createElement('div');
    frame.className = 'window';
    frame.style.left = x + 'px';
    frame.style.top = y + 'px';
    var bar = document.createElement('div');
    bar.className = 'title';
    var caption = document.createElement('span');
    caption.textContent = UTF8ToString(title);
    bar.appendChild(caption);
    var client = document.createElement('div');
    client.className = 'client';
    client.style.width = width + 'px';
    client.style.height = height + 'px';
    client.setAttribute('role', 'group');
    client.setAttribute('aria-label', caption.textContent);
    if (flags & 0x00080000) {
      var close = document.createElement('button');
      close.className = 'close';
      close.tabIndex = -1;
      close.title = 'Close';
      close.setAttribute('aria-label', 'Close');
      close.textContent = '\u00d7';
      close.addEventListener('click', function() {
        Page.post({code: 16, kind: 0, source: id, immediate: 1, element: frame});
      });
      bar.appendChild(close);
    }
    frame.appendChild(bar);
    frame.appendChild(client);
    Page.screen().appendChild(frame);
    document.title = caption.textContent.replace(/ +/g, ' ');
    frame.client = client;
    var handle = Page.add(frame);
    frame.dataset.handle = handle;
    return handle;
  },

  page_destroy__deps: ['$Page'],
  page_destroy: function(handle) {
    var object = Page.objects[handle];
    if (object && object.remove) object.remove();
    Page.objects[handle] = null;
  },

  page_control_create__deps: ['$Page'],
  page_control_create: function(parent, kind, id, x, y, width, height, text, flags, image,
                                caption) {
    var frame = Page.objects[parent];
    var words = text ? UTF8ToString(text) : '';
    var element;
    if (kind == Page.LABEL) {
      element = document.createElement('label');
      element.className = 'label';
      element.textContent = words;
      if (flags & Page.LABEL_CENTER) element.style.textAlign = 'center';
      if (flags & Page.LABEL_SUNKEN_EDGE) element.classList.add('sunken');
      Page.place(element, x, y, width, height);
    } else if (kind == Page.DROPDOWN) {
      element = document.createElement('select');
      element.className = 'list';
      Page.place(element, x, y, width, height);
      var named = Page.objects[caption];
      if (named) {
        element.id = 'list' + Page.objects.length;
        named.htmlFor = element.id;
      }
      element.addEventListener('change', function() {
        Page.post({code: 13100, kind: 1, source: element.toolkitId, immediate: 0, element: element});
      });
    } else if (kind == Page.BUTTON) {
      element = document.createElement('button');
      element.className = 'button';
      element.textContent = words;
      Page.place(element, x, y, width, height);
      element.addEventListener('click', function() {
        Page.post({code: 13100, kind: 1, source: element.toolkitId, immediate: 1, element: element});
      });
    } else if (kind == Page.PICTURE) {
      element = document.createElement('canvas');
      element.className = 'picture';
      var edge = flags & Page.PICTURE_SUNKEN_EDGE ? 2 : 0;
      if (edge) element.classList.add('sunken');
      var shown = Page.objects[image];
      if (shown) {
        element.width = shown.width;
        element.height = shown.height;
        element.getContext('2d').drawImage(shown, 0, 0);
        width = shown.width + 2 * edge;
        height = shown.height + 2 * edge;
      }
      Page.place(element, x, y, width, height);
    } else {
      // No browser inside the page: the page loads nothing from outside.
      return 0;
    }
    element.toolkitId = id;
    frame.client.appendChild(element);
    var handle = Page.add(element);
    element.dataset.handle = handle;
    return handle;
  },

  page_list_add__deps: ['$Page'],
  page_list_add: function(handle, position, text) {
    var list = Page.objects[handle];
    if (position == -1) position = list.options.length;
    if (position < 0 || position > list.options.length) return 0;
    var had = list.selectedIndex;
    var option = document.createElement('option');
    option.textContent = UTF8ToString(text);
    list.insertBefore(option, list.options[position] || null);
    // Adding an entry selects nothing by itself.
    if (had < 0) list.selectedIndex = -1;
    return 1;
  },

  page_list_select__deps: ['$Page'],
  page_list_select: function(handle, position) {
    var list = Page.objects[handle];
    if (position < -1 || position >= list.options.length) return 0;
    list.selectedIndex = position;
    return 1;
  },

  page_list_selected__deps: ['$Page'],
  page_list_selected: function(handle) {
    return Page.objects[handle].selectedIndex;
  },

  page_set_disabled__deps: ['$Page'],
  page_set_disabled: function(handle, disabled) {
    Page.objects[handle].disabled = !!disabled;
  },

  page_image_create__deps: ['$Page'],
  page_image_create: function(width, height, alpha, pixels) {
    var canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    var context = canvas.getContext('2d');
    var data = context.createImageData(width, height);
    var from = pixels, step = alpha ? 4 : 3;
    for (var i = 0, to = 0; i < width * height; ++i, from += step, to += 4) {
      data.data[to] = HEAPU8[from];
      data.data[to + 1] = HEAPU8[from + 1];
      data.data[to + 2] = HEAPU8[from + 2];
      data.data[to + 3] = alpha ? HEAPU8[from + 3] : 255;
    }
    context.putImageData(data, 0, 0);
    return Page.add(canvas);
  },

  page_wait_for_input__deps: ['$Page'],
  page_wait_for_input: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      if (Page.input.length) {
        wakeUp();
      } else {
        Page.wakeUp = wakeUp;
      }
    });
  },

  page_take_input__deps: ['$Page'],
  page_take_input: function(code, kind, source, immediate) {
    if (!Page.input.length) return 0;
    var input = Page.input.shift();
    // Input for a control that is gone, or disabled since, goes nowhere (as a click on a
    // disabled button).
    if (!input.element.isConnected || input.element.disabled) return 0;
    HEAP32[code >> 2] = input.code;
    HEAP32[kind >> 2] = input.kind;
    HEAP32[source >> 2] = input.source;
    HEAP32[immediate >> 2] = input.immediate;
    return 1;
  },

  page_focused__deps: ['$Page'],
  page_focused: function(handle) {
    var frame = Page.objects[handle];
    var focus = frame.lastFocus;
    if (frame.contains(document.activeElement) && document.activeElement.dataset.handle)
      focus = document.activeElement;
    return focus && focus.isConnected ? Number(focus.dataset.handle) : 0;
  },

  page_focus__deps: ['$Page'],
  page_focus: function(handle) {
    var control = Page.objects[handle];
    control.closest('.window').lastFocus = control;
    control.focus();
  },

  page_ended__deps: ['$Page'],
  page_ended: function() {
    var screen = Page.screen();
    var note = document.createElement('p');
    note.className = 'ended';
    note.textContent = 'The program has ended. Reload the page to start it again.';
    screen.appendChild(note);
  },

  page_open_address: function(address) {
    var url = UTF8ToString(address);
    if (!/^https?:/i.test(url)) return 0;
    // With noopener the new tab is not handed back: the call itself is the answer.
    window.open(url, '_blank', 'noopener');
    return 1;
  },

  // Sound ------------------------------------------------------------------------------------

  page_audio_open__deps: ['$Page'],
  page_audio_open: function() {
    if (Page.audio) return 1;
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    Page.audio = new Context();
    Page.bus = Page.audio.createGain();
    Page.bus.connect(Page.audio.destination);
    // A context made before the user did anything starts suspended: the first input resumes it.
    var resume = function() { if (Page.audio) Page.audio.resume(); };
    document.addEventListener('pointerdown', resume, true);
    document.addEventListener('keydown', resume, true);
    if (/[?&]record(=|&|$)/.test(location.search)) Page.record();
    return 1;
  },

  page_audio_buffer__deps: ['$Page'],
  page_audio_buffer: function(frames, rate) {
    try {
      return Page.add({buffer: Page.audio.createBuffer(2, frames, rate), gain: 1, source: null});
    } catch (e) {
      return 0;
    }
  },

  page_audio_fill__deps: ['$Page'],
  page_audio_fill: function(handle, channel, samples, first, n) {
    Page.objects[handle].buffer.copyToChannel(HEAPF32.subarray(samples >> 2, (samples >> 2) + n),
                                              channel, first);
  },

  page_audio_play__deps: ['$Page'],
  page_audio_play: function(handle, loop, volume) {
    var sound = Page.objects[handle];
    if (sound.source) {
      sound.source.onended = null;
      sound.source.stop();
      sound.source.disconnect();
    }
    if (volume != -1) sound.gain = Math.pow(10, volume / 2000);
    var source = Page.audio.createBufferSource();
    source.buffer = sound.buffer;
    source.loop = !!loop;
    var level = Page.audio.createGain();
    level.gain.value = sound.gain;
    source.connect(level);
    level.connect(Page.bus);
    source.onended = function() { sound.source = null; };
    sound.source = source;
    Page.audio.resume();
    source.start();
    return 1;
  },

  page_audio_release__deps: ['$Page'],
  page_audio_release: function(handle) {
    var sound = Page.objects[handle];
    if (sound && sound.source) {
      sound.source.onended = null;
      sound.source.stop();
      sound.source.disconnect();
    }
    Page.objects[handle] = null;
  },

  page_audio_playing__deps: ['$Page'],
  page_audio_playing: function(handle) {
    return Page.objects[handle].source ? 1 : 0;
  },

  page_audio_close__deps: ['$Page'],
  page_audio_close: function() {
    if (Page.audio) Page.audio.close();
    Page.audio = null;
  },
});
