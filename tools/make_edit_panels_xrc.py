#!/usr/bin/env python3
"""Writes resources/TaNGRAQVLumiEditor.xrc: the control edit panels and the
template dialogs of the editor.

The program looks every object up by its name, so the names below are fixed;
layouts, captions and sizes are free. Rows are label + field pairs in
two-column grids, so the tab order follows the reading order.

Run from the source folder: tools/make_edit_panels_xrc.py
"""
from xml.dom import minidom
from xml.sax.saxutils import escape

OUT = "resources/TaNGRAQVLumiEditor.xrc"


def obj(cls, name=None, body="", subclass=None):
    attrs = f' class="{cls}"'
    if name:
        attrs += f' name="{name}"'
    if subclass:
        attrs += f' subclass="{subclass}"'
    return f"<object{attrs}>{body}</object>"


def item(child, flag="wxALL|wxALIGN_CENTER_VERTICAL", border=3, option=0):
    return (f'<object class="sizeritem"><option>{option}</option><flag>{flag}</flag>'
            f"<border>{border}</border>{child}</object>")


def label(name, text, tooltip=None):
    tip = f"<tooltip>{escape(tooltip)}</tooltip>" if tooltip else ""
    return obj("wxStaticText", name or "wxID_ANY", f"<label>{escape(text)}</label>{tip}")


def spacer_label(name):
    # An empty caption that keeps a check box in the field column.
    return label(name, "")


def text(name, width=90, tooltip=None, extra=""):
    tip = f"<tooltip>{escape(tooltip)}</tooltip>" if tooltip else ""
    return obj("wxTextCtrl", name, f"<size>{width},-1</size>{tip}{extra}")


def number(name, width=60, tooltip=None):
    tip = f"<tooltip>{escape(tooltip)}</tooltip>" if tooltip else ""
    return obj("wxTextCtrl", name, f"<size>{width},-1</size>{tip}<style>wxTE_PROCESS_ENTER</style>", subclass="NumberTextCtrl")


def spin(name, lo, hi, value=None, width=120):
    value = lo if value is None else value
    return obj("wxSpinCtrl", name,
               f"<size>{width},-1</size><min>{lo}</min><max>{hi}</max><value>{value}</value>"
               "<style>wxSP_ARROW_KEYS</style>")


def check(name, text_):
    return obj("wxCheckBox", name, f"<label>{escape(text_)}</label>")


def radio(name, text_, first=False):
    style = "<style>wxRB_GROUP</style>" if first else ""
    return obj("wxRadioButton", name, f"<label>{escape(text_)}</label>{style}")


def no_choice(name):
    # A radio group cannot show "none chosen" on every platform: a hidden
    # member of the group is chosen instead.
    return obj("wxRadioButton", name, "<label>none</label><hidden>1</hidden>")


def choice(name, entries=(), width=-1):
    content = "".join(f"<item>{escape(e)}</item>" for e in entries)
    return obj("wxChoice", name, f"<size>{width},-1</size><content>{content}</content>"
               + ("<selection>0</selection>" if entries else ""))


def grid(rows, cols=2, growable=1):
    body = f"<cols>{cols}</cols><vgap>2</vgap><hgap>6</hgap><growablecols>{growable}</growablecols>"
    for row in rows:
        for cell in row:
            if cell is None:
                body += '<object class="spacer"><size>0,0</size></object>'
            elif isinstance(cell, tuple):
                body += item(cell[0], cell[1])
            else:
                body += item(cell)
    return obj("wxFlexGridSizer", None, body)


def box(children, orient="wxVERTICAL"):
    body = f"<orient>{orient}</orient>"
    for child in children:
        if isinstance(child, tuple):
            body += item(*child)
        else:
            body += item(child, "wxALL|wxEXPAND", 2)
    return obj("wxBoxSizer", None, body)


def hbox(children):
    body = "<orient>wxHORIZONTAL</orient>"
    for child in children:
        body += item(child, "wxALL|wxALIGN_CENTER_VERTICAL", 3)
    return obj("wxBoxSizer", None, body)


def hbox_tight(children):
    # Side by side in one grid cell, without a border around the row.
    body = "<orient>wxHORIZONTAL</orient>"
    for i, child in enumerate(children):
        body += item(child, "wxLEFT|wxALIGN_CENTER_VERTICAL" if i else "wxALIGN_CENTER_VERTICAL", 4 if i else 0)
    return obj("wxBoxSizer", None, body)


def toggle(name, text_, tooltip):
    return obj("wxToggleButton", name, f"<label>{escape(text_)}</label><tooltip>{escape(tooltip)}</tooltip>")


def static_box(caption, child, name=None):
    body = f"<orient>wxVERTICAL</orient><label>{escape(caption)}</label>"
    if name:
        body += f'<windowlabel>{obj("wxStaticText", name, f"<label>{escape(caption)}</label>")}</windowlabel>'
    body += item(child, "wxALL|wxEXPAND", 4)
    return obj("wxStaticBoxSizer", None, body)


def panel(name, sizer):
    return obj("wxPanel", name, "<style>wxTAB_TRAVERSAL</style>" + wrap(sizer))


def wrap(sizer, border=4):
    return obj("wxBoxSizer", None, "<orient>wxVERTICAL</orient>" + item(sizer, "wxALL|wxEXPAND", border, 1))


PORTS = [("Enable_Midi_Port_1", "MIDI 1"), ("Enable_Midi_Port_2", "MIDI 2"), ("Enable_USB_Port", "USB 1"),
         ("Enable_USB_Port_B", "USB 2"), ("Enable_USB_Port_C", "USB 3")]

panels = []

# --- Common panel -------------------------------------------------------------
panels.append(panel("ID_GENERICDIALOG", box([
    grid([
        [label(None, "Name:"), text("Name", 110, "The name the hardware shows for this control")],
        [label("ID_PARAMNAMETEXT", "Parameter:"), text("Parameter_Name", 110)],
        [label(None, "Type:"), hbox_tight([choice("Type", (), 140), toggle("Learn", "Learn",
            "Assign the next message from the MIDI input: CC, NRPN, RPN, Note On, Program Change or Pitch Bend")])],
        [label("ID_MIDIGROUPTEXT", "Ports:"), choice("Midi_Port_Group", (), 140)],
    ]),
    (hbox([check(n, t) for n, t in PORTS[:2]]), "wxLEFT|wxRIGHT", 2),
    (hbox([check(n, t) for n, t in PORTS[2:]]), "wxLEFT|wxRIGHT", 2),
    (obj("wxStaticLine", "ID_SEPARATOR", "<style>wxLI_HORIZONTAL</style>"), "wxTOP|wxEXPAND", 6),
])))

# --- Channel -------------------------------------------------------------------
panels.append(panel("ID_MIDICHANNELDIALOG", grid([
    [label("ID_MIDICHANGROUPTEXT", "Channel group:"), choice("Midi_Chanel_Group", (), 140)],
    [label(None, "MIDI channel:"), number("Midi_Channel", tooltip="1 to 16")],
])))

# --- CC, NRPN -----------------------------------------------------------------------
panels.append(panel("ID_CCDIALOG", grid([
    [label(None, "CC number:"), number("CC_Number", tooltip="0 to 127")],
])))
panels.append(panel("ID_NRPNDIALOG", grid([
    [label(None, "MSB:"), number("Most_Significant_Byte", tooltip="Parameter number, high byte (0 to 127)")],
    [label(None, "LSB:"), number("Least_Significant_Byte", tooltip="Parameter number, low byte (0 to 127)")],
])))

# --- Snapshot --------------------------------------------------------------------------
panels.append(panel("ID_SNAPVALUEDIALOG", grid([
    [label("ID_SNAPLABEL", "Snapshot value:"), number("Snapshot_Value")],
])))

# --- MMC ----------------------------------------------------------------------------------
MMC = [("ID_STOP", "Stop"), ("ID_PLAY", "Play"), ("ID_DEFPLAY", "Deferred play"), ("ID_FORWARD", "Fast forward"),
       ("ID_REWIND", "Rewind"), ("ID_RECORD", "Record strobe"), ("ID_RECEXIT", "Record exit"),
       ("ID_RECPAUSE", "Record pause"), ("ID_PAUSE", "Pause"), ("ID_EJECT", "Eject"), ("ID_CHASE", "Chase"),
       ("ID_ERRRESET", "Error reset"), ("ID_MMCRESET", "MMC reset")]
mmc_rows = []
for i in range(0, len(MMC), 2):
    pair = MMC[i:i + 2]
    mmc_rows.append([radio(n, t, first=(i == 0 and k == 0)) for k, (n, t) in enumerate(pair)]
                    + ([no_choice("ID_MMCNONE")] if len(pair) == 1 else []))
panels.append(panel("ID_MMCDIALOG", box([
    grid([[label(None, "Device number:"), number("MMC_Device_Number", tooltip="0 to 127")]]),
    static_box("Command", grid(mmc_rows, 2, 0)),
])))

# --- SysEx ---------------------------------------------------------------------------------
panels.append(panel("ID_SYSEXDIALOG", box([
    label(None, "SysEx message (hex bytes, DV for the value):"),
    (hbox([text("Sys_Ex_Message", 190), obj("wxButton", "ID_SETBUTTON", "<label>Set</label>")]), "wxEXPAND", 0),
    (obj("wxStaticText", "Message_Status", "<label>Message status</label><style>wxST_NO_AUTORESIZE</style>"
         "<size>230,-1</size>"), "wxALL|wxEXPAND", 3),
])))

# --- Button ----------------------------------------------------------------------------------
panels.append(panel("ID_BUTTONSPECIFICDIALOG", box([
    grid([
        [label(None, "Low value:"), number("Press_Stroke_Min_Value", tooltip="Value sent on press (0 to 127)")],
        [label(None, "High value:"), number("Release_Stroke_Max_Value", tooltip="Value sent on release or toggle (0 to 127)")],
        [label("ID_DISPFMTTEXT", "Display:"), None],
    ]),
    (hbox([radio("Display_0_To_127", "0 to 127", True), radio("Display_Minus_64_To_63", "-64 to 63"),
           radio("Display_On_Stroke_Off", "On / Off")]), "wxLEFT", 8),
    static_box("Action", grid([
        [radio("Normal_Button", "Normal", True), radio("Momentary_Button", "Momentary")],
        [radio("Toggle_Button", "Toggle"), radio("Step_Button", "Step")],
        [label(None, "Step size:"), spin("Button_Step_Size", 1, 127, 1)],
    ], 2, 0)),
])))

# --- Drum note --------------------------------------------------------------------------------
panels.append(panel("ID_DRUMNOTEDIALOG", grid([
    [label(None, "Note:"), hbox([number("Note_Number"), label("ID_NOTENAME", "C-2  ")])],
    [label(None, "Velocity curve:"), number("Velocity_Curve")],
    [label(None, "Auto off:"), number("Auto_Off", tooltip="Auto-off time (0 to 127)")],
    [label(None, "Off sync:"), choice("Off_Sync", ("No sync", "1/16", "1/8", "1/4", "1/2", "1 bar"), 110)],
])))

# --- Note on ------------------------------------------------------------------------------------
panels.append(panel("ID_NOTEONDIALOG", box([
    grid([
        [label(None, "Note:"), hbox([number("Note_Number"), label("ID_NOTENAME", "C-2  ")])],
        [label(None, "Velocity:"), number("Note_Velocity")],
    ]),
    static_box("Action", hbox([radio("Normal_Button", "Normal", True), radio("Momentary_Button", "Momentary"),
                               radio("Toggle_Button", "Toggle")])),
])))

# --- Pot -------------------------------------------------------------------------------------------
panels.append(panel("ID_POTSPECIFICDIALOG", box([
    grid([
        [label(None, "High value:"), number("High_Value")],
        [label(None, "Low value:"), number("Low_Value")],
        [label("ID_CATCHUPTEXT", "Pick-up:"),
         choice("Pot_Strategy", ("Jump", "Pick-up", "Template setting", "Value scaling", "Strategy 4",
                                 "Strategy 5", "Strategy 6", "Strategy 7"))],
    ]),
    (check("Do_Pot_Pickup", "Pot pick-up"), "wxALL", 3),
    (check("Send_14_Bit_Values", "Send 14-bit values"), "wxALL", 3),
    (label("ID_DISPFMTTEXT", "Display:"), "wxALL", 3),
    (grid([[radio("Display_0_To_127", "0 to 127", True), radio("Display_Minus_64_To_63", "-64 to 63")],
           [radio("REL_1", "Relative 1"), radio("REL_2", "Relative 2")],
           [radio("A_POT", "Absolute pot"), no_choice("ID_DISPNONE")]], 2, 0), "wxLEFT", 8),
])))

# --- Template settings ------------------------------------------------------------------------------
general = obj("wxPanel", None, "<style>wxTAB_TRAVERSAL</style>" + wrap(grid([
    [label(None, "Template name:"), text("Template_Name", 240)],
    [label("ID_MFRNAMELABEL", "Manufacturer:"), text("Manufacturer_Name", 120)],
    [label("ID_OVERRIDE_TEXT", "Override channel:"), spin("Override_Midi_Channel", 0, 16)],
    [label("ID_GROUPPAGECOUNTTEXT", "Group pages:"), spin("Number_Of_Group_Pages", 1, 16, 1)],
    [label("ID_CURRENTPAGETEXT", "Current page:"), spin("Group_Page_Number", 1, 16, 1)],
]), 8))
controls = obj("wxPanel", "Template_Panel", "<style>wxTAB_TRAVERSAL</style>" + wrap(grid([
    [label("PADXTYPE_TEXT", "Touchpad X:"), choice("Pad_X_Type", (), 150)],
    [label("PADYTYPE_TEXT", "Touchpad Y:"), choice("Pad_Y_Type", (), 150)],
    [label("Synth_By_Control_Text", "Synth by control:"), choice("Synth_By_Control", ("Off", "On", "Auto"), 150)],
    [label("Synth_By_Midi_Text", "Synth by MIDI:"), check("Synth_By_MIDI", "Enabled")],
    [label("Global_Hybrid", "Hybrid mode:"), check("Hybrid", "Enabled")],
    [spacer_label("ID_SNAPSPACER"), check("Auto_Snapshot", "Send snapshot when the template is chosen")],
    [spacer_label("ID_SYNTHSPACER"), check("Synth_Template", "Synth template")],
    [spacer_label("ID_CATCHUPSPACER"), check("Pot_Pickup", "Pot pick-up for every pot")],
]), 8))
keyboard = obj("wxPanel", "Keyboard_Panel", "<style>wxTAB_TRAVERSAL</style>" + wrap(grid([
    [label("ID_KBDCHANTEXT", "Keyboard channel:"), spin("Keybaord_Midi_Channel", 1, 16)],
    [label("ID_VELCURVETEXT", "Velocity curve:"), spin("Velocity_Curve", 1, 8)],
    [label("OCTAVE_TEXT", "Octave:"), spin("Octave_Setting", -4, 4, 0)],
    [label("TRANSPOSE_TEXT", "Transpose:"), spin("Transpose", -12, 12, 0)],
    [spacer_label("ID_AFTERSPACER"), check("After_Touch", "Aftertouch")],
    [spacer_label("ID_MIDI1SPACER"), check("Enable_Midi_Port_1", "MIDI 1")],
    [spacer_label("ID_MIDI2SPACER"), check("Enable_Midi_Port_2", "MIDI 2")],
    [spacer_label("IUD_USBSPACER"), check("Enable_USB_Port", "USB 1")],
    [spacer_label("ID_USB2SPACER"), check("Enable_USB_Port_B", "USB 2")],
]), 8))


def page(title, child):
    return obj("notebookpage", None, f"<label>{escape(title)}</label>{child}")


def buttons(with_restore=True):
    parts = []
    if with_restore:
        parts.append(item(obj("wxButton", "Restore_Defaults", "<label>Restore Defaults</label>"),
                          "wxALL|wxALIGN_CENTER_VERTICAL", 4))
    parts.append('<object class="spacer"><option>1</option><flag>wxEXPAND</flag><size>10,0</size></object>')
    parts.append(item(obj("wxButton", "wxID_OK", "<label>OK</label><default>1</default>"), "wxALL", 4))
    parts.append(item(obj("wxButton", "wxID_CANCEL", "<label>Cancel</label>"), "wxALL", 4))
    return obj("wxBoxSizer", None, "<orient>wxHORIZONTAL</orient>" + "".join(parts))


def dialog(name, title, children):
    body = "<orient>wxVERTICAL</orient>" + "".join(children)
    return obj("wxDialog", name, f"<title>{escape(title)}</title>"
               "<style>wxCAPTION|wxSYSTEM_MENU|wxCLOSE_BOX|wxTAB_TRAVERSAL</style>" + obj("wxBoxSizer", None, body))


panels.append(dialog("ID_TEMPLATEDIALOG", "Template settings", [
    item(obj("wxNotebook", "Template_Settings",
             page("General", general) + page("Controls", controls) + page("Keyboard", keyboard)),
         "wxALL|wxEXPAND", 8, 1),
    item(buttons(), "wxLEFT|wxRIGHT|wxBOTTOM|wxEXPAND", 8),
]))

# --- Port groups -----------------------------------------------------------------------------------------
common_group = grid([
    [label(None, "Channel:"), spin("Common_Channel", 1, 16)],
    [None, hbox([check("Common_Midi_Port_1", "MIDI 1"), check("Common_Midi_Port_2", "MIDI 2")])],
    [None, hbox([check("Common_USB_Port", "USB 1"), check("Common_USB_Port_B", "USB 2"),
                 check("Common_USB_Port_C", "USB 3")])],
])
kbd_group = grid([
    [label("ID_KBDCHANTEXT", "Channel:"), spin("Midi_Channel", 1, 16)],
    [None, check("As_Common_Channel", "Same channel as the common group")],
    [None, hbox([check("Midi_Port_1", "MIDI 1"), check("Midi_Port_2", "MIDI 2")])],
    [None, hbox([check("USB_Port", "USB 1"), check("USB_Port_2", "USB 2")])],
    [None, check("As_Common_Ports", "Same ports as the common group")],
])
panels.append(dialog("ID_DIALOG", "MIDI port and channel groups", [
    item(static_box("Common", common_group), "wxALL|wxEXPAND", 8),
    item(obj("wxStaticBoxSizer", None, "<orient>wxVERTICAL</orient><label>Keyboard</label>"
             + item(kbd_group, "wxALL|wxEXPAND", 4)).replace(
        '<object class="wxStaticBoxSizer">',
        '<object class="wxStaticBoxSizer" name="KEYBOARD_GROUP">', 1), "wxLEFT|wxRIGHT|wxEXPAND", 8),
    item(buttons(), "wxALL|wxEXPAND", 8),
]))

# --- Keyboard zone ----------------------------------------------------------------------------------------
panels.append(dialog("ID_KBDZONEDIALOG", "Keyboard zone settings", [
    item(grid([
        [label(None, "Top note:"), hbox([spin("Top_Note", 0, 127, 127), label("Top_Note_Name", "G8   ")])],
        [label(None, "Bottom note:"), hbox([spin("Bottom_Note", 0, 127, 0), label("Bottom_Note_Name", "C-2  ")])],
        [label(None, "Velocity offset:"), spin("Velocity_Offset", 1, 128, 3)],
        [label(None, "Transpose:"), spin("Transpose", -64, 63, 0)],
        [label("ID_MIDICHANGROUPTEXT", "Channel group:"), choice("Midi_Channel_Group", (), 120)],
        [label(None, "MIDI channel:"), spin("Midi_Channel", 1, 16)],
        [label("ID_MIDIGROUPTEXT", "Port group:"), choice("Midi_Port_Group", (), 120)],
        # The spacers sit inside the rows, so that taking one out keeps the grid aligned.
        [None, hbox([spacer_label("ID_TEXTSPACER1"), check("Enable_Midi_Port_1", "MIDI 1"),
                     check("Enable_Midi_Port_2", "MIDI 2")])],
        [None, hbox([spacer_label("ID_TEXTSPACER2"), check("Enable_USB_Port", "USB 1"),
                     check("Enable_USB_Port_2", "USB 2")])],
        [None, hbox([check("After_Touch", "Aftertouch"), check("Pitch_Bend", "Pitch bend"),
                     check("Mod_Wheel", "Mod wheel")])],
    ]), "wxALL|wxEXPAND", 8),
    item(buttons(False), "wxALL|wxEXPAND", 8),
]))

document = minidom.parseString(
    '<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">' + "".join(panels) + "</resource>")
pretty = document.documentElement.toprettyxml(indent="  ")
with open(OUT, "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
    f.write("<!-- The control edit panels and the template dialogs. Generated by tools/make_edit_panels_xrc.py. -->\n")
    f.write(pretty)
print("wrote", OUT)
