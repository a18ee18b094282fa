// Tessary's shell extension for GNOME 43 and 44, which load extensions as legacy scripts.
const {Clutter, Cogl, Gio, GLib, Meta, Shell, St} = imports.gi;
const Main = imports.ui.main;
const KeyboardManager = imports.misc.keyboardManager;
const PanelMenu = imports.ui.panelMenu;

// @core@

class TessaryExtension {
    enable() {
        this._service = new TessaryService({Clutter, Cogl, Gio, GLib, Meta, Shell, St, Main, KeyboardManager, PanelMenu});
        this._service.enable();
    }

    disable() {
        this._service.disable();
        this._service = null;
    }
}

function init() {
    return new TessaryExtension();
}
