// The page side of the web host (see page.h). Everything the browser
// reports is queued here and taken by the program at the start of its next
// turn, which runs when something is queued or the program's time is up.
// Nothing here calls into the program except to run a turn.
mergeInto(LibraryManager.library, {
  $ZtPage: {
    queue: [],
    waiter: null,
    canvas: null,
    context: null,
    frame: null,
    frameContext: null,
    // The program's screen as an ImageData over its memory, made again only
    // when the memory grew (a new buffer) or the screen moved: a frame
    // allocates nothing.
    image: null,
    imageAt: 0,
    // The canvas's height in CSS pixels, and how far below its place the
    // screen is shown (screen pixels): the window sliding in.
    cssHeight: 720,
    lowered: 0,
    started: false,
    firstTouch: true,
    active: true,
    visible: true,
    wakeLock: null,
    // Motion samples and orientation readings not yet taken, in the order
    // they came, each with its own time: the judge of their sign needs every
    // one, and a loaded page takes them late and in bunches. Bounded: a
    // page that takes none drops the oldest.
    sensors: [],
    maxSensors: 256,
    // The rehearsal overlay's lines as last drawn (rehearsal only).
    rehearsal: [],
    // For tests and measurements (window.zentrick.stats). wakes counts the
    // turns, turnAt is the program's time in the latest, frameTurn the turn
    // that showed the latest frame; taken counts every event the program
    // took, motions the motion samples among them: a test waits for these,
    // not for time.
    stats: { frames: 0, firstFrameAt: 0, presentedAt: 0, releasedAt: 0, wakes: 0, turnAt: 0, frameTurn: 0,
             taken: 0, motions: 0 },

    // True once the program's loop has ended: nothing takes events any more.
    ended: false,

    // Moves the canvas `lowered` screen pixels below its place.
    lower: function (lowered) {
      ZtPage.lowered = lowered;
      if (!ZtPage.canvas) return;
      ZtPage.canvas.style.transform = lowered ? 'translateY(' + lowered * ZtPage.cssHeight / 720 + 'px)' : '';
    },

    push: function (kind, a, b, c, d, e, f) {
      if (ZtPage.ended) return;
      ZtPage.queue.push([kind, a || 0, b || 0, c || 0, d || 0, e || 0, f || 0]);
      ZtPage.wake();
    },
    // A sensor's event, taken at the next turn; it wakes nobody (sensors
    // stream at 60 Hz or more, which would double the wakes).
    sense: function (event) {
      if (ZtPage.ended) return;
      if (ZtPage.sensors.length >= ZtPage.maxSensors) ZtPage.sensors.shift();
      ZtPage.sensors.push(event);
    },
    // An event's own time, on performance.now()'s clock: the time it
    // happened, not when a loaded page got round to it. A browser that
    // gives none (or a time on another clock) gets the time now.
    stamp: function (event) {
      var now = performance.now();
      var t = event.timeStamp;
      return typeof t === 'number' && t > 0 && t <= now ? t : now;
    },
    wake: function (at) {
      var waiter = ZtPage.waiter;
      if (waiter) {
        ZtPage.waiter = null;
        waiter(at);
      }
    },
    activity: function () {
      ZtPage.visible = document.visibilityState === 'visible';
      var now = ZtPage.visible && document.hasFocus();
      if (now !== ZtPage.active) {
        ZtPage.active = now;
        ZtPage.push(7, now ? 1 : 0);
      }
      if (ZtPage.visible) ZtPage.keepAwake();
    },
    keepAwake: function () {
      // The screen stays on while the page shows; the browser lets go of
      // the lock whenever the page hides, so it is taken again on return.
      // WebKit grants it only inside a tap: a refusal outside one stays
      // shown (rehearsal) until a tap's request is granted.
      if (ZtPage.wakeLock) return;
      if (!('wakeLock' in navigator)) {
        ZtPage.setStatus(3);
        return;
      }
      navigator.wakeLock.request('screen').then(function (lock) {
        if (ZtPage.wakeLock) {
          lock.release();
          return;
        }
        ZtPage.wakeLock = lock;
        ZtPage.setStatus(1);
        lock.addEventListener('release', function () {
          if (ZtPage.wakeLock === lock) ZtPage.wakeLock = null;
          ZtPage.setStatus(4);
        });
      }, function () {
        if (!ZtPage.wakeLock) ZtPage.setStatus(2);
      });
    },
    // The wake lock's state (a WakeLockState) and whether the page runs
    // from the home screen, for the rehearsal overlay.
    wakeState: 0,
    setStatus: function (wakeState) {
      if (wakeState !== undefined) ZtPage.wakeState = wakeState;
      var installed = navigator.standalone === true || matchMedia('(display-mode: standalone)').matches ||
        (matchMedia('(display-mode: fullscreen)').matches && !document.fullscreenElement);
      ZtPage.push(10, ZtPage.wakeState, installed ? 1 : 0);
    },
    askMotion: function () {
      // iOS asks the user, and only from a touch. Orientation tells the
      // motion readings' sign without a touch: asked in the same gesture
      // (one question for both); its answer is not shown.
      if (typeof DeviceMotionEvent === 'undefined' || typeof DeviceMotionEvent.requestPermission !== 'function') return;
      DeviceMotionEvent.requestPermission().then(function (answer) {
        ZtPage.push(9, answer === 'granted' ? 2 : 3);
      }, function () { ZtPage.push(9, 3); });
      if (typeof DeviceOrientationEvent !== 'undefined' && typeof DeviceOrientationEvent.requestPermission === 'function') {
        var asked = DeviceOrientationEvent.requestPermission();
        if (asked && asked.catch) asked.catch(function () {});
      }
    },
    performance: function () {
      // Full screen and portrait where the browser allows it; both need a
      // touch. An iPhone offers neither: its home-screen page is the way.
      var root = document.documentElement;
      if (!document.fullscreenElement && typeof root.requestFullscreen === 'function') {
        var asked = root.requestFullscreen({ navigationUI: 'hide' });
        if (asked && asked.then) asked.then(function () {
          if (!screen.orientation || typeof screen.orientation.lock !== 'function') return;
          var locked = screen.orientation.lock('portrait');
          if (locked && locked.catch) locked.catch(function () {});
        }, function () {});
      }
    },
    pointer: function (kind, event) {
      // The page is the phone's glass: no scrolling, zooming or menus.
      if (event.cancelable) event.preventDefault();
      if (kind === 1 && event.target && event.target.setPointerCapture) {
        try { event.target.setPointerCapture(event.pointerId); } catch (e) {}
      }
      if (kind === 3) ZtPage.stats.releasedAt = performance.now();
      ZtPage.push(kind, event.pointerId, event.button, event.clientX, event.clientY, event.buttons, ZtPage.stamp(event));
      // A finger's gesture is asked for on its touchend, which every
      // browser counts as one; a mouse's or pen's here.
      if (kind === 3 && event.pointerType !== 'touch') ZtPage.gesture();
    },
    gesture: function () {
      // The wake lock first: in WebKit full screen uses the gesture up.
      if (document.visibilityState === 'visible') ZtPage.keepAwake();
      if (!ZtPage.firstTouch) return;
      ZtPage.firstTouch = false;
      ZtPage.askMotion();
      ZtPage.performance();
    },
    key: function (down, event) {
      var keys = { ArrowUp: 0, ArrowDown: 1, ArrowLeft: 2, ArrowRight: 3, KeyF: 4 };
      if (!(event.code in keys)) return;
      // A press with Ctrl, Alt or Meta is the browser's shortcut; a release
      // counts whatever is held, or the key would stay down.
      if (down && (event.ctrlKey || event.altKey || event.metaKey)) return;
      event.preventDefault();
      if (event.repeat) return;
      ZtPage.push(5, keys[event.code], down ? 1 : 0);
    },
    start: function (rehearse) {
      if (ZtPage.started) return;
      ZtPage.started = true;
      var canvas = document.getElementById('screen');
      if (!canvas) {
        canvas = document.createElement('canvas');
        canvas.id = 'screen';
        document.body.appendChild(canvas);
      }
      ZtPage.canvas = canvas;
      ZtPage.context = canvas.getContext('2d', { alpha: false });
      ZtPage.frame = document.createElement('canvas');
      ZtPage.frame.width = 480;
      ZtPage.frame.height = 720;
      ZtPage.frameContext = ZtPage.frame.getContext('2d');

      var target = document;
      target.addEventListener('pointerdown', function (e) { ZtPage.pointer(1, e); }, { passive: false });
      target.addEventListener('pointermove', function (e) { ZtPage.pointer(2, e); }, { passive: false });
      target.addEventListener('pointerup', function (e) { ZtPage.pointer(3, e); }, { passive: false });
      target.addEventListener('pointercancel', function (e) { ZtPage.pointer(4, e); });
      // Touch events would still scroll, zoom or pull to refresh on some browsers.
      target.addEventListener('touchend', function () { ZtPage.gesture(); });
      ['touchstart', 'touchmove', 'touchend', 'gesturestart', 'contextmenu', 'selectstart', 'dblclick'].forEach(function (name) {
        target.addEventListener(name, function (e) { if (e.cancelable) e.preventDefault(); }, { passive: false });
      });
      window.addEventListener('keydown', function (e) { ZtPage.key(true, e); });
      window.addEventListener('keyup', function (e) { ZtPage.key(false, e); });
      window.addEventListener('devicemotion', function (e) {
        var a = e.accelerationIncludingGravity;
        if (!a || a.x === null || a.y === null || a.z === null) return;
        ZtPage.sense([6, a.x, a.y, a.z, ZtPage.stamp(e)]);
      });
      // The direction of gravity as angles: evidence for the motion
      // readings' sign. Browsers without the sensor send nulls.
      window.addEventListener('deviceorientation', function (e) {
        if (typeof e.beta !== 'number' || typeof e.gamma !== 'number') return;
        ZtPage.sense([11, e.beta, e.gamma, ZtPage.stamp(e)]);
      });
      document.addEventListener('visibilitychange', ZtPage.activity);
      window.addEventListener('focus', ZtPage.activity);
      window.addEventListener('blur', ZtPage.activity);
      window.addEventListener('resize', function () { ZtPage.push(8); });
      if (window.visualViewport) window.visualViewport.addEventListener('resize', function () { ZtPage.push(8); });

      if (typeof DeviceMotionEvent !== 'undefined' && typeof DeviceMotionEvent.requestPermission === 'function')
        ZtPage.push(9, 1);
      ZtPage.active = true;
      ZtPage.setStatus();
      ZtPage.activity();
      window.zentrick = { stats: ZtPage.stats, rehearse: !!rehearse, page: ZtPage };
    }
  },

  zt_page_start__deps: ['$ZtPage'],
  zt_page_start: function (rehearse) {
    ZtPage.start(rehearse);
  },

  zt_page_query: function (buffer, size) {
    var text = location.search || '';
    if (size > 0) stringToUTF8(text, buffer, size);
    return lengthBytesUTF8(text);
  },

  zt_page_rehearsal_lines__deps: ['$ZtPage'],
  zt_page_rehearsal_lines: function (text) {
    ZtPage.rehearsal = UTF8ToString(text).split('\n');
  },

  zt_page_now: function () {
    return performance.now();
  },

  zt_page_log: function (level, text) {
    var line = UTF8ToString(text);
    if (level >= 2) console.error(line);
    else if (level === 1) console.warn(line);
    else console.info(line);
  },

  // The program's loop, a turn at a time (the page's thread cannot block):
  // zt_page_turn handles what is waiting and says when the next turn is due.
  // One standing 10 ms interval, kept in step with the program's deadlines,
  // wakes it, so that a tick asks the browser for no new timer.
  // performance.now() is one of the costlier calls a page makes, and the
  // program's clock is the turn's time, handed in (the platform reads no
  // clock itself): a tick on the interval's grid knows its time without
  // asking, and the deadline comes back on that clock. Only input, a tick
  // off the grid, or a deadline the grid does not serve reads the clock.
  $ZtLoop__deps: ['$ZtPage'],
  $ZtLoop: {
    deadline: Infinity,
    interval: null,
    intervalNext: 0,
    timeout: null,
    // Ticks left that may take their time from the grid. The browser skips
    // the ticks of an interval that ran late, and slows a hidden page's
    // timers to one a second or less: a hidden page's ticks, and every
    // tenth tick, read the clock and bring the grid up to it.
    trusted: 0,

    // The clock, read for the grid: it may be trusted for nine more ticks.
    read: function () {
      ZtLoop.trusted = ZtPage.visible ? 9 : 0;
      return performance.now();
    },

    // `at`: the turn's time, when the caller knows it without asking.
    turn: function (at) {
      ZtPage.stats.wakes++;
      if (at === undefined) at = performance.now();
      ZtPage.stats.turnAt = at;
      var deadline = _zt_page_turn(ZtPage.queue.length || ZtPage.sensors.length ? 1 : 0, at);
      if (deadline < -1) {
        // The program's loop has ended: nothing wakes it again.
        ZtLoop.stopTimers();
        ZtPage.ended = true;
        ZtPage.queue.length = 0;
        ZtPage.sensors.length = 0;
        return;
      }
      ZtLoop.sleep(deadline < 0 ? Infinity : deadline);
    },
    sleep: function (deadline) {
      // Already something to do: still let the browser have its turn.
      ZtLoop.deadline = ZtPage.queue.length ? 0 : deadline;
      ZtPage.waiter = ZtLoop.turn;
      var next = ZtLoop.intervalNext;
      // The common case: the interval fires at the deadline, or up to 1 ms
      // after it; nothing to ask of the browser.
      if (ZtLoop.interval !== null && next >= ZtLoop.deadline && next <= ZtLoop.deadline + 1) return;
      // Otherwise the interval is moved to start at the deadline.
      ZtLoop.stopTimers();
      if (ZtLoop.deadline !== Infinity)
        ZtLoop.timeout = setTimeout(ZtLoop.rephase, Math.max(0, Math.ceil(ZtLoop.deadline - performance.now())));
    },
    stopTimers: function () {
      if (ZtLoop.interval !== null) clearInterval(ZtLoop.interval);
      if (ZtLoop.timeout !== null) clearTimeout(ZtLoop.timeout);
      ZtLoop.interval = ZtLoop.timeout = null;
    },
    rephase: function () {
      ZtLoop.timeout = null;
      // Read first: the interval's own start is no earlier, so a tick is
      // never taken for later than it is.
      var now = ZtLoop.read();
      ZtLoop.interval = setInterval(ZtLoop.tick, 10);
      ZtLoop.intervalNext = now + 10;
      ZtLoop.due(now);
    },
    tick: function () {
      // The browser keeps the interval on its grid, steps of 10 from where
      // it started, and never fires a tick before its time: a tick whose
      // time has reached the deadline runs the turn at that time without
      // asking the clock.
      var at = ZtLoop.intervalNext;
      ZtLoop.intervalNext = at + 10;
      if (ZtLoop.trusted > 0 && ZtPage.waiter && at >= ZtLoop.deadline) {
        ZtLoop.trusted--;
        ZtPage.wake(at);
        return;
      }
      // Otherwise it may have run late, past ticks it skipped (or a hair
      // early, on a coarse clock): where the grid is now.
      var now = ZtLoop.read();
      while (ZtLoop.intervalNext <= now + 1) ZtLoop.intervalNext += 10;
      ZtLoop.due(now);
    },
    due: function (now) {
      if (!ZtPage.waiter) return;
      if (now >= ZtLoop.deadline) ZtPage.wake(now);
      // A deadline that falls before the next tick moves the interval.
      else if (ZtLoop.deadline < ZtLoop.intervalNext) ZtLoop.sleep(ZtLoop.deadline);
    }
  },

  zt_page_loop__deps: ['$ZtLoop'],
  zt_page_loop: function () {
    ZtLoop.turn();
  },

  zt_page_next_event__deps: ['$ZtPage'],
  zt_page_next_event: function (fields) {
    var event = ZtPage.queue.shift() || ZtPage.sensors.shift();
    if (!event) return 0;
    ZtPage.stats.taken++;
    if (event[0] === 6) ZtPage.stats.motions++;
    for (var i = 1; i < event.length; i++) HEAPF64[(fields >> 3) + i - 1] = event[i];
    return event[0];
  },

  zt_page_size: function (fields) {
    HEAPF64[(fields >> 3) + 0] = window.innerWidth;
    HEAPF64[(fields >> 3) + 1] = window.innerHeight;
    HEAPF64[(fields >> 3) + 2] = window.devicePixelRatio || 1;
  },

  zt_page_layout__deps: ['$ZtPage'],
  zt_page_layout: function (x, y, width, height) {
    var canvas = ZtPage.canvas;
    if (!canvas) return;
    var ratio = window.devicePixelRatio || 1;
    canvas.style.left = x + 'px';
    canvas.style.top = y + 'px';
    canvas.style.width = width + 'px';
    canvas.style.height = height + 'px';
    ZtPage.cssHeight = height;
    ZtPage.lower(ZtPage.lowered);
    // One canvas pixel per device pixel keeps the picture sharp.
    var w = Math.max(1, Math.round(width * ratio));
    var h = Math.max(1, Math.round(height * ratio));
    if (canvas.width !== w || canvas.height !== h) {
      canvas.width = w;
      canvas.height = h;
    }
  },

  zt_page_present__deps: ['$ZtPage'],
  zt_page_present: function (rgba, x, y, width, height, lowered) {
    var canvas = ZtPage.canvas;
    var context = ZtPage.context;
    if (lowered !== ZtPage.lowered) ZtPage.lower(lowered);
    if (width > 0 && height > 0) {
      var image = ZtPage.image;
      if (!image || image.data.buffer !== HEAPU8.buffer || ZtPage.imageAt !== rgba) {
        image = ZtPage.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, 480 * 720 * 4), 480, 720);
        ZtPage.imageAt = rgba;
      }
      if (canvas.width === 480 && canvas.height === 720) {
        context.putImageData(image, 0, 0, x, y, width, height);
      } else {
        ZtPage.frameContext.putImageData(image, 0, 0, x, y, width, height);
        // Whole multiples stay crisp; anything else is filtered.
        context.imageSmoothingEnabled = !(canvas.width % 480 === 0 && canvas.height === canvas.width / 480 * 720);
        context.drawImage(ZtPage.frame, 0, 0, canvas.width, canvas.height);
      }
    }
    var now = performance.now();
    if (!ZtPage.stats.frames) {
      ZtPage.stats.firstFrameAt = now;
      // Once the browser has painted it: the mark (start_marks.js), and the
      // felt around the screen may be drawn (index.html).
      requestAnimationFrame(function () {
        setTimeout(function () {
          performance.mark('zt-painted');
          document.documentElement.classList.add('felt');
        });
      });
    }
    ZtPage.stats.frames++;
    ZtPage.stats.frameTurn = ZtPage.stats.wakes;
    ZtPage.stats.presentedAt = now;
  }
});
