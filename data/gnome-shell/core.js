// The shell side of Tessary on GNOME: a D-Bus object that tells Tessary which window is in front,
// types keys through a virtual keyboard of the shell's, shows the chip's picture above every window,
// binds the fill shortcut and shows Tessary's icon in the top bar (GNOME shows no tray icons). Every decision stays in Tessary; this only carries its requests out.
// Shared by both entry files, which give it the shell's modules as `shell`.

const BUS_NAME = 'com.tessary.Shell';
const OBJECT_PATH = '/com/tessary/Shell';
const INTERFACE = `<node><interface name="com.tessary.Shell">
  <method name="GetFocus"><arg type="(t(iiii)(iiii)ssda((iiii)d))" direction="out"/></method>
  <method name="GetKeymap"><arg type="s" direction="out"/><arg type="s" direction="out"/>
    <arg type="s" direction="out"/><arg type="u" direction="out"/></method>
  <method name="PressKey"><arg type="u" direction="in"/><arg type="b" direction="in"/></method>
  <method name="CommitText"><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
  <method name="ShowPicture"><arg type="i" direction="in"/><arg type="i" direction="in"/>
    <arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="ay" direction="in"/>
    <arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="HidePicture"/>
  <method name="ShowPanelIcon"><arg type="ay" direction="in"/><arg type="i" direction="in"/>
    <arg type="i" direction="in"/></method>
  <method name="HidePanelIcon"/>
  <method name="MoveWindow"><arg type="s" direction="in"/><arg type="i" direction="in"/>
    <arg type="i" direction="in"/><arg type="b" direction="out"/></method>
  <method name="GrabShortcut"><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
  <method name="ReleaseShortcut"/>
  <signal name="FocusChanged"><arg type="(t(iiii)(iiii)ssda((iiii)d))"/></signal>
  <signal name="PicturePointer"><arg type="s"/><arg type="d"/><arg type="d"/><arg type="u"/></signal>
  <signal name="ShortcutPressed"/>
  <signal name="PanelIconClicked"><arg type="(iiii)"/></signal>
</interface></node>`;
// Only Tessary may call or hear this object: connections that own its application id or a name
// under it (the developer build's, each tool's).
const CALLER_NAME = 'com.tessary.Tessary';
const isCallerName = name => name === CALLER_NAME || name.startsWith(`${CALLER_NAME}.`);

function rectangle(rect) {
    return [rect.x, rect.y, rect.width, rect.height];
}

var TessaryService = class {
    constructor(shell) {
        this._shell = shell;
        this._callers = new Map(); // well-known name -> unique name
        this._windowSignals = [];
        this._window = null;
        this._picture = null;
        // Each caller's own shortcut (a developer build runs beside the installed one, a tool
        // beside the application): action -> the unique name of the caller that grabbed it.
        this._shortcuts = new Map();
        this._keysDown = new Map(); // keyval -> the unique name of the caller that holds it down
    }

    enable() {
        const {Gio, Clutter} = this._shell;
        const backend = Clutter.get_default_backend ? Clutter.get_default_backend()
            : global.stage.context.get_backend();
        // Also the seat's first keyboard in a headless shell, without which no window gets focus.
        this._keyboard = backend.get_default_seat().create_virtual_device(
            Clutter.InputDeviceType.KEYBOARD_DEVICE);
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._ownersId = Gio.DBus.session.signal_subscribe('org.freedesktop.DBus', 'org.freedesktop.DBus',
            'NameOwnerChanged', '/org/freedesktop/DBus', null, Gio.DBusSignalFlags.NONE,
            (_c, _s, _p, _i, _n, parameters) => this._nameOwner(...parameters.deepUnpack()));
        Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'ListNames', null, null, Gio.DBusCallFlags.NONE, -1, null, (connection, result) => {
                const [names] = connection.call_finish(result).deepUnpack();
                for (const name of names.filter(isCallerName)) {
                    connection.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                        'GetNameOwner', new this._shell.GLib.Variant('(s)', [name]), null,
                        Gio.DBusCallFlags.NONE, -1, null,
                        (c, r) => this._nameOwner(name, '', c.call_finish(r).deepUnpack()[0]));
                }
            });
        this._ownerId = Gio.bus_own_name(Gio.BusType.SESSION, BUS_NAME, Gio.BusNameOwnerFlags.NONE,
            null, null, null);
        this._focusId = global.display.connect('notify::focus-window', () => this._followFocus());
        this._monitorsId = this._shell.Main.layoutManager.connect('monitors-changed',
            () => this._emit('FocusChanged', this._focus()));
        this._acceleratorId = global.display.connect('accelerator-activated', (_d, action) => {
            const owner = this._shortcuts.get(action);
            if (owner)
                Gio.DBus.session.emit_signal(owner, OBJECT_PATH, 'com.tessary.Shell', 'ShortcutPressed', null);
        });
        this._followFocus();
    }

    disable() {
        this._releaseKeys(null);
        this._releaseShortcuts(null);
        this.HidePicture();
        this.HidePanelIcon();
        this._watchWindow(null);
        global.display.disconnect(this._focusId);
        this._shell.Main.layoutManager.disconnect(this._monitorsId);
        global.display.disconnect(this._acceleratorId);
        this._shell.Gio.DBus.session.signal_unsubscribe(this._ownersId);
        this._callers.clear();
        this._shell.Gio.bus_unown_name(this._ownerId);
        this._object.unexport();
        this._object = null;
        this._keyboard = null;
    }

    _nameOwner(name, _oldOwner, newOwner) {
        // What a process that ended left behind goes with it: a key it held would repeat, and a
        // Shift the shell pressed for it would stay down.
        if (!newOwner)
            this._releaseKeys(name);
        if (!newOwner && name === this._pictureOwner)
            this.HidePicture();
        if (!newOwner)
            this._releaseShortcuts(name);
        if (!newOwner && name === this._panelIconOwner)
            this.HidePanelIcon();
        if (!isCallerName(name))
            return;
        if (newOwner)
            this._callers.set(name, newOwner);
        else
            this._callers.delete(name);
    }

    _allowed(invocation) {
        const sender = invocation.get_sender();
        for (const owner of this._callers.values()) {
            if (owner === sender)
                return true;
        }
        invocation.return_dbus_error('com.tessary.Shell.Error.AccessDenied', 'Only Tessary may call this');
        return false;
    }

    _emit(name, parameters) {
        const unique = new Set(this._callers.values());
        for (const destination of unique) {
            this._shell.Gio.DBus.session.emit_signal(destination, OBJECT_PATH, 'com.tessary.Shell', name, parameters);
        }
    }

    // The window in front, and each monitor with the scale a picture is drawn at there.
    _focus() {
        const window = global.display.focus_window;
        const monitors = this._shell.Main.layoutManager.monitors.map(monitor =>
            [rectangle(monitor), this._monitorScale(monitor.index)]);
        const focus = window
            ? [window.get_pid(), rectangle(window.get_frame_rect()), rectangle(window.get_buffer_rect()),
                window.get_wm_class() ?? '', window.get_title() ?? '', this._scale(window), monitors]
            : [0, [0, 0, 0, 0], [0, 0, 0, 0], '', '', 1, monitors];
        return new this._shell.GLib.Variant('((t(iiii)(iiii)ssda((iiii)d)))', [focus]);
    }

    // Screen pixels to one of the window's own; 1 for X11 windows, which measure in screen pixels.
    _scale(window) {
        return window.get_client_type() === this._shell.Meta.WindowClientType.WAYLAND
            ? this._monitorScale(window.get_monitor()) : 1;
    }

    // Screen pixels to a logical pixel on that monitor. Where the shell lays monitors out in device
    // pixels (its stage unscaled, the default), a monitor at 200 % takes two; laid out in logical
    // pixels, one.
    _monitorScale(monitor) {
        return global.stage.get_resource_scale() === 1 ? global.display.get_monitor_scale(monitor) : 1;
    }

    _followFocus() {
        this._watchWindow(global.display.focus_window);
        this._emit('FocusChanged', this._focus());
    }

    _watchWindow(window) {
        this._windowSignals.forEach(id => this._window.disconnect(id));
        this._windowSignals = [];
        this._window = window;
        if (!window)
            return;
        const changed = () => this._emit('FocusChanged', this._focus());
        for (const signal of ['position-changed', 'size-changed', 'notify::title'])
            this._windowSignals.push(window.connect(signal, changed));
    }

    GetFocusAsync(_parameters, invocation) {
        if (this._allowed(invocation))
            invocation.return_value(this._focus());
    }

    GetKeymapAsync(_parameters, invocation) {
        if (!this._allowed(invocation))
            return;
        const manager = this._shell.KeyboardManager.getKeyboardManager();
        const keymap = manager._currentKeymap ?? {layouts: '', variants: '', options: ''};
        const group = manager.currentLayout?.groupIndex ?? 0;
        invocation.return_value(new this._shell.GLib.Variant('(sssu)',
            [keymap.layouts, keymap.variants, keymap.options, group]));
    }

    PressKeyAsync([keyval, down], invocation) {
        if (!this._allowed(invocation))
            return;
        this._press(keyval, down);
        if (down)
            this._keysDown.set(keyval, invocation.get_sender());
        else
            this._keysDown.delete(keyval);
        invocation.return_value(null);
    }

    _press(keyval, down) {
        const {Clutter, GLib} = this._shell;
        this._keyboard.notify_keyval(GLib.get_monotonic_time(), keyval,
            down ? Clutter.KeyState.PRESSED : Clutter.KeyState.RELEASED);
    }

    // Lets go of the keys `owner` holds down; of every key, when null.
    _releaseKeys(owner) {
        for (const [keyval, holder] of this._keysDown) {
            if (owner === null || holder === owner) {
                this._press(keyval, false);
                this._keysDown.delete(keyval);
            }
        }
    }

    // Text the keyboard layout cannot type goes in through the input method, as the on-screen
    // keyboard does; false when no text field of any application takes input from it.
    CommitTextAsync([text], invocation) {
        if (!this._allowed(invocation))
            return;
        const method = this._shell.Main.inputMethod;
        const focused = Boolean(method.currentFocus);
        if (focused)
            method.commit(text);
        invocation.return_value(new this._shell.GLib.Variant('(b)', [focused]));
    }

    ShowPictureAsync(_parameters, invocation) {
        if (!this._allowed(invocation))
            return;
        const {St, Main} = this._shell;
        const parameters = invocation.get_parameters();
        const [x, y, width, height] = [0, 1, 2, 3].map(i => parameters.get_child_value(i).unpack());
        const pixels = parameters.get_child_value(4).get_data_as_bytes().toArray();
        const [pixelWidth, pixelHeight] = [5, 6].map(i => parameters.get_child_value(i).unpack());
        if (!this._picture) {
            this._picture = new St.Widget({reactive: true, can_focus: false, track_hover: true});
            for (const [signal, kind] of [['enter-event', 'enter'], ['motion-event', 'motion'],
                ['button-press-event', 'press'], ['button-release-event', 'release'], ['leave-event', 'leave']])
                this._picture.connect(signal, (actor, event) => this._pointer(actor, event, kind));
            Main.layoutManager.addTopChrome(this._picture);
        }
        this._picture.set_content(this._imageContent(pixels, pixelWidth, pixelHeight));
        this._pictureOwner = invocation.get_sender();
        // Its size is in logical pixels of the monitor it stands on, as its pointer positions are.
        const monitor = Main.layoutManager.monitors.find(m => x >= m.x && x < m.x + m.width &&
            y >= m.y && y < m.y + m.height) ?? Main.layoutManager.primaryMonitor;
        this._pictureScale = monitor ? this._monitorScale(monitor.index) : 1;
        this._picture.set_position(x, y);
        this._picture.set_size(width * this._pictureScale, height * this._pictureScale);
        this._picture.show();
        invocation.return_value(null);
    }

    // Rows of premultiplied BGRA pixels without padding, as Tessary sends them.
    _imageContent(pixels, width, height) {
        const {St, Cogl} = this._shell;
        const content = St.ImageContent.new_with_preferred_size(width, height);
        const stride = width * 4;
        if (content.set_data.length === 6) {
            content.set_data(global.stage.context.get_backend().get_cogl_context(), pixels,
                Cogl.PixelFormat.BGRA_8888_PRE, width, height, stride);
        } else {
            content.set_data(pixels, Cogl.PixelFormat.BGRA_8888_PRE, width, height, stride);
        }
        return content;
    }

    _pointer(actor, event, kind) {
        const [stageX, stageY] = event.get_coords();
        const [, x, y] = actor.transform_stage_point(stageX, stageY);
        const button = kind === 'press' || kind === 'release' ? event.get_button() : 0;
        this._emit('PicturePointer', new this._shell.GLib.Variant('(sddu)',
            [kind, x / this._pictureScale, y / this._pictureScale, button]));
        return this._shell.Clutter.EVENT_STOP;
    }

    HidePictureAsync(_parameters, invocation) {
        if (this._allowed(invocation))
            invocation.return_value(this.HidePicture());
    }

    HidePicture() {
        this._picture?.destroy();
        this._picture = null;
        return null;
    }

    // The icon at the top bar's right, drawn from the pixels given (16 logical pixels square); a
    // click on it tells Tessary where the icon is.
    ShowPanelIconAsync(_parameters, invocation) {
        if (!this._allowed(invocation))
            return;
        const {St, Main, PanelMenu, Clutter} = this._shell;
        const parameters = invocation.get_parameters();
        const pixels = parameters.get_child_value(0).get_data_as_bytes().toArray();
        const [width, height] = [1, 2].map(i => parameters.get_child_value(i).unpack());
        if (!this._panelIcon) {
            this._panelIcon = new PanelMenu.Button(0.0, 'Tessary', true);
            // Lengths in the style are the shell's logical pixels, which the monitor's scale enlarges.
            this._panelImage = new St.Widget({style: 'width: 16px; height: 16px;',
                y_align: Clutter.ActorAlign.CENTER});
            this._panelIcon.add_child(this._panelImage);
            this._panelIcon.connect('button-press-event', () => {
                const [x, y] = this._panelIcon.get_transformed_position();
                const [iconWidth, iconHeight] = this._panelIcon.get_transformed_size();
                this._emit('PanelIconClicked', new this._shell.GLib.Variant('((iiii))',
                    [[x, y, iconWidth, iconHeight].map(Math.round)]));
                return Clutter.EVENT_STOP;
            });
            Main.panel.addToStatusArea(BUS_NAME, this._panelIcon);
        }
        this._panelImage.set_content(this._imageContent(pixels, width, height));
        this._panelIconOwner = invocation.get_sender();
        invocation.return_value(null);
    }

    HidePanelIconAsync(_parameters, invocation) {
        if (this._allowed(invocation))
            invocation.return_value(this.HidePanelIcon());
    }

    HidePanelIcon() {
        this._panelIcon?.destroy();
        this._panelIcon = null;
        return null;
    }

    // Moves Tessary's own window of that title (a popover has no say in where it opens on
    // Wayland); false when there is none yet.
    MoveWindowAsync([title, x, y], invocation) {
        if (!this._allowed(invocation))
            return;
        const window = global.display.list_all_windows().find(candidate =>
            isCallerName(candidate.get_wm_class() ?? '') && candidate.get_title() === title);
        window?.move_frame(true, x, y);
        invocation.return_value(new this._shell.GLib.Variant('(b)', [Boolean(window)]));
    }

    // False when the shell or another program already binds the combination.
    GrabShortcutAsync([accelerator], invocation) {
        if (!this._allowed(invocation))
            return;
        const {Meta, Shell, Main, GLib} = this._shell;
        const sender = invocation.get_sender();
        this._releaseShortcuts(sender);
        // Held down, the keys repeat: that is still one press, and one fill.
        const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.IGNORE_AUTOREPEAT);
        if (action !== Meta.KeyBindingAction.NONE) {
            this._shortcuts.set(action, sender);
            Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action), Shell.ActionMode.ALL);
        }
        invocation.return_value(new GLib.Variant('(b)', [action !== Meta.KeyBindingAction.NONE]));
    }

    ReleaseShortcutAsync(_parameters, invocation) {
        if (!this._allowed(invocation))
            return;
        this._releaseShortcuts(invocation.get_sender());
        invocation.return_value(null);
    }

    // Lets go of the shortcut `owner` grabbed; of every one, when null.
    _releaseShortcuts(owner) {
        const {Meta, Shell, Main} = this._shell;
        for (const [action, holder] of this._shortcuts) {
            if (owner === null || holder === owner) {
                Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action), Shell.ActionMode.NONE);
                global.display.ungrab_accelerator(action);
                this._shortcuts.delete(action);
            }
        }
    }
};
