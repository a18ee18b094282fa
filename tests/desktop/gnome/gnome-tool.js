// What the GNOME desktop tests need of the shell that no command offers, run with gjs inside
// scripts/gnome-session:
//   gjs gnome-tool.js shot FILE.png [X Y W H]  the screen or an area of it (the shell takes the
//                                     screenshot, and only for the owner of org.gnome.Screenshot);
//                                     FILE.ppm: as a binary PPM, for scripts that read pixels
//   gjs gnome-tool.js click X Y       a left click at X, Y            through a Mutter remote-desktop
//   gjs gnome-tool.js keys super+shift+o   a key combination          session (a headless shell has
//   gjs gnome-tool.js type TEXT       ASCII text, key by key          no pointer or keyboard of its own)
imports.gi.versions.GdkPixbuf = '2.0';
const {Gio, GLib, GdkPixbuf} = imports.gi;

const bus = Gio.DBus.session;
const call = (name, path, iface, method, args, type) => bus.call_sync(name, path, iface, method,
    args, type ? new GLib.VariantType(type) : null, Gio.DBusCallFlags.NONE, 10000, null);

function shot(file, area) {
    const owned = call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
        'RequestName', new GLib.Variant('(su)', ['org.gnome.Screenshot', 4]), '(u)');
    if (owned.deepUnpack()[0] !== 1)
        throw new Error('org.gnome.Screenshot is taken');
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

// Runs `act` with a started remote-desktop session's method caller; stops the session after.
function remote(act) {
    const desktop = ['org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop'];
    const [session] = call(...desktop, 'org.gnome.Mutter.RemoteDesktop', 'CreateSession', null, '(o)')
        .deepUnpack();
    const onSession = (method, args) => call('org.gnome.Mutter.RemoteDesktop', session,
        'org.gnome.Mutter.RemoteDesktop.Session', method, args, null);
    onSession('Start', null);
    try {
        act(onSession);
    } finally {
        // The shell handles the events on its input thread: a session stopped at once takes its
        // device, and with it events not handled yet, away.
        GLib.usleep(150000);
        onSession('Stop', null);
    }
}

const KEYSYMS = {super: 0xffeb, shift: 0xffe1, ctrl: 0xffe3, alt: 0xffe9, return: 0xff0d, escape: 0xff1b};
function keys(combination) {
    const keysyms = combination.toLowerCase().split('+').map(name => KEYSYMS[name] ?? name.codePointAt(0));
    remote(onSession => {
        for (const keysym of keysyms)
            onSession('NotifyKeyboardKeysym', new GLib.Variant('(ub)', [keysym, true]));
        for (const keysym of keysyms.reverse())
            onSession('NotifyKeyboardKeysym', new GLib.Variant('(ub)', [keysym, false]));
    });
}

function click(x, y) {
    remote(onSession => {
        // Relative moves need no screen-cast stream: to the top-left corner first, then on.
        onSession('NotifyPointerMotionRelative', new GLib.Variant('(dd)', [-100000, -100000]));
        onSession('NotifyPointerMotionRelative', new GLib.Variant('(dd)', [x, y]));
        const BTN_LEFT = 0x110;
        onSession('NotifyPointerButton', new GLib.Variant('(ib)', [BTN_LEFT, true]));
        onSession('NotifyPointerButton', new GLib.Variant('(ib)', [BTN_LEFT, false]));
    });
}

function type(text) {
    remote(onSession => {
        for (const character of text) {
            for (const down of [true, false])
                onSession('NotifyKeyboardKeysym', new GLib.Variant('(ub)', [character.codePointAt(0), down]));
        }
    });
}

const [command, ...rest] = ARGV;
if (command === 'shot' && (rest.length === 1 || rest.length === 5))
    shot(rest[0], rest.slice(1).map(Number));
else if (command === 'click' && rest.length === 2)
    click(Number(rest[0]), Number(rest[1]));
else if (command === 'keys' && rest.length === 1)
    keys(rest[0]);
else if (command === 'type' && rest.length === 1)
    type(rest[0]);
else
    throw new Error('usage: gnome-tool.js shot FILE.png [X Y W H] | click X Y | keys COMBINATION | type TEXT');
