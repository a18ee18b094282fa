// Loaded into KWin by Tessary: reports the window in front, and each move or resize of it, to the
// Tessary process that loaded it. No logic of Tessary's own lives here. KWin 5 calls windows
// "clients"; Plasma 6 renamed them.
const service = "@SERVICE@";
const path = "@PATH@";
const iface = "com.tessary.KWinWindows";

function text(value) {
    // KWin 5 hands byte-array properties (resourceClass) to scripts as an ArrayBuffer.
    return typeof value === "string" ? value : String.fromCharCode.apply(null, new Uint8Array(value));
}

function rect(r) {
    return [r.x, r.y, r.width, r.height];
}

function report(window) {
    const description = window ? JSON.stringify({
        pid: window.pid,
        resourceClass: text(window.resourceClass),
        frame: rect(window.frameGeometry),
        buffer: rect(window.bufferGeometry),
    }) : "";
    callDBus(service, path, iface, "activeWindowChanged", description);
}

const activations = workspace.windowActivated || workspace.clientActivated;
let watched = null;

function moved() {
    report(watched);
}

function watch(window) {
    if (watched)
        watched.frameGeometryChanged.disconnect(moved);
    watched = window;
    if (watched)
        watched.frameGeometryChanged.connect(moved);
}

// A Tessary that died without unloading this script has left the bus, and its name never comes
// back: from then on nothing is reported.
let listened = true;
function stopWithoutListener(owned) {
    if (owned || !listened)
        return;
    listened = false;
    activations.disconnect(activated);
    watch(null);
}

function activated(window) {
    watch(window);
    report(watched);
    callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner", service,
             stopWithoutListener);
}

activations.connect(activated);
activated(workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient);
