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

let watched = null;

function moved() {
    report(watched);
}

function activated(window) {
    if (watched)
        watched.frameGeometryChanged.disconnect(moved);
    watched = window;
    if (watched)
        watched.frameGeometryChanged.connect(moved);
    report(watched);
}

(workspace.windowActivated || workspace.clientActivated).connect(activated);
activated(workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient);
