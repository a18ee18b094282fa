// What the GNOME desktop tests need of the shell that no command offers, run with gjs inside
// scripts/gnome-session:
//   shot FILE.png|FILE.ppm [X Y W H]   the screen or an area (only the owner of org.gnome.Screenshot
//                                      may ask); .ppm: a binary PPM, for scripts that read pixels
//   windows                            the shown windows: [{"title", "class", "width", "height"}]
//   click X Y | keys COMBO [SECONDS] | type ASCII | serve
//                                      input through one Mutter remote-desktop session (a headless
//                                      shell has no devices), which `serve` holds
//   press KEYVAL                       presses a key through Tessary's extension and never lets go,
//                                      as Tessary crashing would
//   presses ACCELERATOR SECONDS        grabs it through the extension, prints "grabbed", then after
//                                      SECONDS how many presses it reported
imports.gi.versions.GdkPixbuf = '2.0';
const {Gio, GLib, GdkPixbuf} = imports.gi;
const System = imports.system;

const bus = Gio.DBus.session;
const call = (name, path, iface, method, args, type) => bus.call_sync(name, path, iface, method,
    args, type ? new GLib.VariantType(type) : null, Gio.DBusCallFlags.NONE, 10000, null);

// Takes the bus name the shell serves its calls to, with nobody queued behind.
function own(name) {
    const owned = call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
        'RequestName', new GLib.Variant('(su)', [name, 4]), '(u)');
    if (owned.deepUnpack()[0] !== 1)
        throw new Error(`${name} is taken`);
}

function shot(file, area) {
    own('org.gnome.Screenshot');
    const png = file.endsWith('.ppm') ? `${file}.png` : file;
    const shell = ['org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot', 'org.gnome.Shell.Screenshot'];
    const [ok] = (area.length === 4
        ? call(...shell, 'ScreenshotArea', new GLib.Variant('(iiiibs)', [...area, false, png]), '(bs)')
        : call(...shell, 'Screenshot', new GLib.Variant('(bbs)', [false, false, png]), '(bs)')).deepUnpack();
    if (!ok)
        throw new Error('the shell took no screenshot');
    if (png !== file)
        writePpm(GdkPixbuf.Pixbuf.new_from_file(png), file);
}

function writePpm(pixbuf, file) {
    const {width, height, rowstride, n_channels: channels} = pixbuf;
    const pixels = pixbuf.get_pixels();
    const header = new TextEncoder().encode(`P6\n${width} ${height}\n255\n`);
    const out = new Uint8Array(header.length + width * height * 3);
    out.set(header);
    let at = header.length;
    for (let y = 0; y < height; y++) {
        for (let x = 0; x < width * channels; x += channels) {
            out.set(pixels.subarray(y * rowstride + x, y * rowstride + x + 3), at);
            at += 3;
        }
    }
    GLib.file_set_contents(file, out);
}

function windows() {
    own('org.freedesktop.impl.portal.desktop.gnome'); // the shell lists windows to its portal alone
    const [all] = call('org.gnome.Shell.Introspect', '/org/gnome/Shell/Introspect', 'org.gnome.Shell.Introspect',
        'GetWindows', null, '(a{ta{sv}})').recursiveUnpack();
    const shown = Object.values(all).filter(window => !window['is-hidden']).map(window => ({
        title: window.title ?? '', class: window['wm-class'] ?? '', width: window.width, height: window.height,
    }));
    print(JSON.stringify(shown));
}

// Clicks and keys go through one Mutter remote-desktop session that a server process keeps open
// for the whole GNOME session: events of a session started and stopped per command are lost now and
// then (after the first such session, most of them). The first command starts the server; it owns
// INPUT_NAME and ends with the session bus.
const INPUT_NAME = 'com.tessary.TestInput';
const INPUT_PATH = '/com/tessary/TestInput';
const INPUT_INTERFACE = `<node><interface name="${INPUT_NAME}">
  <method name="Run"><arg type="s" direction="in"/><arg type="as" direction="in"/></method>
</interface></node>`;

function serve() {
    const desktop = ['org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop'];
    const [session] = call(...desktop, 'org.gnome.Mutter.RemoteDesktop', 'CreateSession', null, '(o)')
        .deepUnpack();
    const onSession = (method, args) => call('org.gnome.Mutter.RemoteDesktop', session,
        'org.gnome.Mutter.RemoteDesktop.Session', method, args, null);
    onSession('Start', null);
    // The shell takes the new pointer's first motion for no move at all: spend it here, and give
    // the devices, which come up on the shell's input thread, time to be there.
    onSession('NotifyPointerMotionRelative', new GLib.Variant('(dd)', [-100000, -100000]));
    GLib.usleep(500000);
    const loop = new GLib.MainLoop(null, false);
    const service = Gio.DBusExportedObject.wrapJSObject(INPUT_INTERFACE, {
        Run(command, args) {
            INPUT[command](onSession, ...args);
        },
    });
    service.export(bus, INPUT_PATH);
    Gio.bus_own_name_on_connection(bus, INPUT_NAME, Gio.BusNameOwnerFlags.DO_NOT_QUEUE, null,
        () => loop.quit());
    loop.run();
}

function hasServer() {
    const [owned] = call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
        'NameHasOwner', new GLib.Variant('(s)', [INPUT_NAME]), '(b)').deepUnpack();
    return owned;
}

function input(command, args) {
    if (!hasServer()) {
        GLib.spawn_async(null, ['gjs', System.programPath, 'serve'], null, GLib.SpawnFlags.SEARCH_PATH,
            null);
        for (let tenth = 0; tenth < 100 && !hasServer(); tenth++)
            GLib.usleep(100000);
    }
    call(INPUT_NAME, INPUT_PATH, INPUT_NAME, 'Run', new GLib.Variant('(sas)', [command, args]), null);
}

const KEYSYMS = {super: 0xffeb, shift: 0xffe1, ctrl: 0xffe3, alt: 0xffe9, return: 0xff0d, escape: 0xff1b};
const INPUT = {
    keys(onSession, combination, seconds = '0') {
        const keysyms = combination.toLowerCase().split('+').map(name => KEYSYMS[name] ?? name.codePointAt(0));
        for (const keysym of keysyms)
            onSession('NotifyKeyboardKeysym', new GLib.Variant('(ub)', [keysym, true]));
        GLib.usleep(Number(seconds) * 1000000);
        for (const keysym of keysyms.reverse())
            onSession('NotifyKeyboardKeysym', new GLib.Variant('(ub)', [keysym, false]));
    },
    click(onSession, x, y) {
        // Relative moves need no screen-cast stream: to the top-left corner first, then on.
        onSession('NotifyPointerMotionRelative', new GLib.Variant('(dd)', [-100000, -100000]));
        onSession('NotifyPointerMotionRelative', new GLib.Variant('(dd)', [Number(x), Number(y)]));
        const BTN_LEFT = 0x110;
        onSession('NotifyPointerButton', new GLib.Variant('(ib)', [BTN_LEFT, true]));
        onSession('NotifyPointerButton', new GLib.Variant('(ib)', [BTN_LEFT, false]));
    },
    type(onSession, text) {
        for (const character of text) {
            for (const down of [true, false])
                onSession('NotifyKeyboardKeysym', new GLib.Variant('(ub)', [character.codePointAt(0), down]));
        }
    },
};

function press(keyval) {
    own('com.tessary.Tessary.GnomeTool');
    call('com.tessary.Shell', '/com/tessary/Shell', 'com.tessary.Shell', 'PressKey',
        new GLib.Variant('(ub)', [Number(keyval), true]), null);
}

function presses(accelerator, seconds) {
    // The extension serves only names of Tessary's, and learns of a new one from the bus.
    own(`com.tessary.Tessary.GnomeTool.p${new Gio.Credentials().get_unix_pid()}`);
    const shell = ['com.tessary.Shell', '/com/tessary/Shell', 'com.tessary.Shell'];
    let count = 0;
    bus.signal_subscribe(shell[0], shell[2], 'ShortcutPressed', shell[1], null, Gio.DBusSignalFlags.NONE,
        () => count++);
    const loop = new GLib.MainLoop(null, false);
    GLib.timeout_add(GLib.PRIORITY_DEFAULT, 500, () => {
        const [grabbed] = call(...shell, 'GrabShortcut', new GLib.Variant('(s)', [accelerator]), '(b)').deepUnpack();
        if (!grabbed)
            throw new Error(`the shell refused ${accelerator}`);
        print('grabbed');
        GLib.timeout_add(GLib.PRIORITY_DEFAULT, Number(seconds) * 1000, () => loop.quit());
        return GLib.SOURCE_REMOVE;
    });
    loop.run();
    print(count);
}

const [command, ...rest] = ARGV;
if (command === 'shot' && (rest.length === 1 || rest.length === 5))
    shot(rest[0], rest.slice(1).map(Number));
else if ((command === 'click' && rest.length === 2) || (['keys', 'type'].includes(command) && rest.length === 1) ||
    (command === 'keys' && rest.length === 2))
    input(command, rest);
else if (command === 'press' && rest.length === 1)
    press(rest[0]);
else if (command === 'presses' && rest.length === 2)
    presses(...rest);
else if (command === 'windows' && rest.length === 0)
    windows();
else if (command === 'serve' && rest.length === 0)
    serve();
else
    throw new Error('usage: gnome-tool.js shot FILE.png [X Y W H] | click X Y | keys COMBINATION [SECONDS] | type TEXT | windows | serve | press KEYVAL | presses ACCELERATOR SECONDS');
