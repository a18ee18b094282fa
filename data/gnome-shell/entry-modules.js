// Tessary's shell extension for GNOME 45 and later, which load extensions as ES modules.
import Clutter from 'gi://Clutter';
import Cogl from 'gi://Cogl';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';
import St from 'gi://St';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as KeyboardManager from 'resource:///org/gnome/shell/misc/keyboardManager.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

// @core@

export default class TessaryExtension extends Extension {
    enable() {
        this._service = new TessaryService({Clutter, Cogl, Gio, GLib, Meta, Shell, St, Main, KeyboardManager, PanelMenu});
        this._service.enable();
    }

    disable() {
        this._service.disable();
        this._service = null;
    }
}
