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

# --- The edit panels: one two-column form ---------------------------------------
# The edit window stacks several panels; together they read as one form in the
# manner of the GNOME guidelines: bold section headings, the rows of a section
# indented under them, labels left-aligned in one column and every field in
# the next (the window gives the label columns of all its panels one width),
# 6 pixels between rows, 12 between a label and its field, 18 above a heading.
# Each row's cells carry their own top gap instead of the grid's vgap: a row
# whose cells are all hidden then takes no room at all.
ROW_GAP = 6
LABEL_GAP = 12
INDENT = 12
SECTION_GAP = 18
SIDE = 6  # inside the panel, left and right (the window adds 5 more)


def heading(text_):
    # Panels of one section share its heading; the window keeps the first.
    return obj("wxStaticText", "Section_Heading",
               f"<label>{escape(text_)}</label>"
               "<font><sysfont>wxSYS_DEFAULT_GUI_FONT</sysfont><weight>bold</weight></font>")


def form(rows):
    """A two-column form: label, field. A None label leaves the cell empty."""
    body = f"<cols>2</cols><vgap>0</vgap><hgap>{LABEL_GAP}</hgap><growablecols>1</growablecols>"
    for row in rows:
        lab, field = row[0], row[1]
        top_aligned = len(row) > 2 and row[2] == "top"
        if lab is None:
            # No gap of its own: a row whose field is hidden takes no room.
            body += '<object class="spacer"><size>0,0</size></object>'
        else:
            # A label beside a list of options lines up with the first option.
            align = "wxALIGN_TOP" if top_aligned else "wxALIGN_CENTER_VERTICAL"
            body += item(lab, f"wxTOP|{align}", ROW_GAP + (4 if top_aligned else 0))
        body += item(field, "wxTOP|wxALIGN_CENTER_VERTICAL", ROW_GAP)
    return obj("wxFlexGridSizer", None, body)


def options(buttons, cols=1):
    """Radio buttons or check boxes in the field column, `cols` to a row."""
    body = f"<cols>{cols}</cols><vgap>2</vgap><hgap>{LABEL_GAP}</hgap>"
    for b in buttons:
        body += item(b, "wxALIGN_CENTER_VERTICAL", 0)
    return obj("wxFlexGridSizer", None, body)


def side_by_side(children):
    body = "<orient>wxHORIZONTAL</orient>"
    for i, child in enumerate(children):
        body += item(child, "wxLEFT|wxALIGN_CENTER_VERTICAL" if i else "wxALIGN_CENTER_VERTICAL", 6 if i else 0)
    return obj("wxBoxSizer", None, body)


def vbox(child, flag, border):
    return obj("wxBoxSizer", None, "<orient>wxVERTICAL</orient>" + item(child, flag, border))


def edit_panel(name, section, rows, after=()):
    body = "<orient>wxVERTICAL</orient>"
    body += item(vbox(heading(section), "wxLEFT|wxRIGHT", SIDE), "wxTOP|wxEXPAND", SECTION_GAP)
    body += item(vbox(form(rows), "wxLEFT|wxEXPAND", INDENT), "wxLEFT|wxRIGHT|wxEXPAND", SIDE)
    for child, flag, border in after:
        body += item(child, flag, border)
    return obj("wxPanel", name, "<style>wxTAB_TRAVERSAL</style>" + obj("wxBoxSizer", None, body))


panels = []

# --- Common panel -------------------------------------------------------------
panels.append(edit_panel("ID_GENERICDIALOG", "Control", [
    (label(None, "Name:"), text("Name", 110, "The name the hardware shows for this control")),
    (label("ID_PARAMNAMETEXT", "Parameter:"), text("Parameter_Name", 110)),
    (label(None, "Type:"), side_by_side([choice("Type"), toggle("Learn", "Learn",
        "Assign the next message from the MIDI input: CC, NRPN, RPN, Note On, Program Change or Pitch Bend")])),
    (label("ID_MIDIGROUPTEXT", "Ports:"), choice("Midi_Port_Group")),
    (None, options([check(n, t) for n, t in PORTS], 2)),
], after=[(obj("wxStaticLine", "ID_SEPARATOR", "<style>wxLI_HORIZONTAL</style>"),
           "wxLEFT|wxRIGHT|wxTOP|wxEXPAND", 12)]))

# --- Channel -------------------------------------------------------------------
panels.append(edit_panel("ID_MIDICHANNELDIALOG", "Message", [
    (label("ID_MIDICHANGROUPTEXT", "Channel group:"), choice("Midi_Chanel_Group")),
    (label(None, "Channel:"), number("Midi_Channel", tooltip="1 to 16")),
]))

# --- CC, NRPN -----------------------------------------------------------------------
panels.append(edit_panel("ID_CCDIALOG", "Message", [
    (label(None, "CC number:"), number("CC_Number", tooltip="0 to 127")),
]))
panels.append(edit_panel("ID_NRPNDIALOG", "Message", [
    (label(None, "Parameter MSB:"), number("Most_Significant_Byte", tooltip="Parameter number, high byte (0 to 127)")),
    (label(None, "Parameter LSB:"), number("Least_Significant_Byte", tooltip="Parameter number, low byte (0 to 127)")),
]))

# --- Snapshot --------------------------------------------------------------------------
panels.append(edit_panel("ID_SNAPVALUEDIALOG", "Values", [
    (label("ID_SNAPLABEL", "Snapshot value:"), number("Snapshot_Value")),
]))

# --- MMC ----------------------------------------------------------------------------------
MMC = [("ID_STOP", "Stop"), ("ID_PLAY", "Play"), ("ID_DEFPLAY", "Deferred play"), ("ID_FORWARD", "Fast forward"),
       ("ID_REWIND", "Rewind"), ("ID_RECORD", "Record strobe"), ("ID_RECEXIT", "Record exit"),
       ("ID_RECPAUSE", "Record pause"), ("ID_PAUSE", "Pause"), ("ID_EJECT", "Eject"), ("ID_CHASE", "Chase"),
       ("ID_ERRRESET", "Error reset"), ("ID_MMCRESET", "MMC reset")]
panels.append(edit_panel("ID_MMCDIALOG", "Message", [
    (label(None, "Device number:"), number("MMC_Device_Number", tooltip="0 to 127")),
    (label(None, "Command:"), options([radio(n, t, first=(i == 0)) for i, (n, t) in enumerate(MMC)]
                                      + [no_choice("ID_MMCNONE")], 2), "top"),
]))

# --- SysEx ---------------------------------------------------------------------------------
panels.append(edit_panel("ID_SYSEXDIALOG", "Message", [
    (label(None, "SysEx bytes:"),
     side_by_side([text("Sys_Ex_Message", 180, "Hex bytes separated by blanks; DV stands for the control's value"),
                   obj("wxButton", "ID_SETBUTTON", "<label>Set</label>")])),
    # The window wraps the status to the field column (two lines are kept free).
    (None, obj("wxStaticText", "Message_Status", "<label>Message status</label>")),
]))

# --- Button ----------------------------------------------------------------------------------
panels.append(edit_panel("ID_BUTTONSPECIFICDIALOG", "Values", [
    (label("ID_LOWTEXT", "Low value:"), number("Press_Stroke_Min_Value", tooltip="Value sent on press (0 to 127)")),
    (label("ID_HIGHTEXT", "High value:"),
     number("Release_Stroke_Max_Value", tooltip="Value sent on release or toggle (0 to 127)")),
    (label("ID_DISPFMTTEXT", "Display:"), options([radio("Display_0_To_127", "0 to 127", True),
                                                    radio("Display_Minus_64_To_63", "-64 to 63"),
                                                    radio("Display_On_Stroke_Off", "On / Off")]), "top"),
    (label(None, "Action:"), options([radio("Normal_Button", "Normal", True), radio("Momentary_Button", "Momentary"),
                                      radio("Toggle_Button", "Toggle"), radio("Step_Button", "Step")], 2), "top"),
    (label(None, "Step size:"), spin("Button_Step_Size", 1, 127, 1)),
]))

# --- Drum note --------------------------------------------------------------------------------
panels.append(edit_panel("ID_DRUMNOTEDIALOG", "Message", [
    (label(None, "Note:"), side_by_side([number("Note_Number"), label("ID_NOTENAME", "C-2  ")])),
    (label(None, "Velocity curve:"), number("Velocity_Curve")),
    (label(None, "Auto off:"), number("Auto_Off", tooltip="Auto-off time (0 to 127)")),
    (label(None, "Off sync:"), choice("Off_Sync", ("No sync", "1/16", "1/8", "1/4", "1/2", "1 bar"))),
]))

# --- Note on ------------------------------------------------------------------------------------
panels.append(edit_panel("ID_NOTEONDIALOG", "Message", [
    (label(None, "Note:"), side_by_side([number("Note_Number"), label("ID_NOTENAME", "C-2  ")])),
    (label(None, "Velocity:"), number("Note_Velocity")),
    (label(None, "Action:"), options([radio("Normal_Button", "Normal", True), radio("Momentary_Button", "Momentary"),
                                      radio("Toggle_Button", "Toggle")]), "top"),
]))

# --- Pot -------------------------------------------------------------------------------------------
# Entry n of "Pot_Strategy" stands for the stored value n; the panel adds
# entries for values a file holds beyond these.
panels.append(edit_panel("ID_POTSPECIFICDIALOG", "Values", [
    (label(None, "Low value:"), number("Low_Value")),
    (label(None, "High value:"), number("High_Value")),
    (label("ID_CATCHUPTEXT", "Pick-up:"), choice("Pot_Strategy", ("Jump", "Pick-up", "Template setting",
                                                                   "Value scaling"))),
    (None, check("Do_Pot_Pickup", "Pot pick-up")),
    (None, check("Send_14_Bit_Values", "Send 14-bit values")),
    (label("ID_DISPFMTTEXT", "Display:"), options([radio("Display_0_To_127", "0 to 127", True),
                                                    radio("Display_Minus_64_To_63", "-64 to 63"),
                                                    radio("REL_1", "Relative 1"), radio("REL_2", "Relative 2"),
                                                    radio("A_POT", "Absolute pot"), no_choice("ID_DISPNONE")], 2),
     "top"),
]))

# --- Template settings ------------------------------------------------------------------------------
# The dialogs are forms in the same manner: one grid each, labels left, fields
# in the next column; a spacer label keeps a check box in the field column.
def page_panel(name, rows):
    return obj("wxPanel", name, "<style>wxTAB_TRAVERSAL</style>" + wrap(form(rows), 12))


general = page_panel(None, [
    (label(None, "Template name:"), text("Template_Name", 240)),
    (label("ID_MFRNAMELABEL", "Manufacturer:"), text("Manufacturer_Name", 120)),
    (label("ID_OVERRIDE_TEXT", "Override channel:"), spin("Override_Midi_Channel", 0, 16)),
    (label("ID_GROUPPAGECOUNTTEXT", "Group pages:"), spin("Number_Of_Group_Pages", 1, 16, 1)),
    (label("ID_CURRENTPAGETEXT", "Current page:"), spin("Group_Page_Number", 1, 16, 1)),
])
controls = page_panel("Template_Panel", [
    (label("PADXTYPE_TEXT", "Touchpad X:"), choice("Pad_X_Type")),
    (label("PADYTYPE_TEXT", "Touchpad Y:"), choice("Pad_Y_Type")),
    (label("Synth_By_Control_Text", "Synth by control:"), choice("Synth_By_Control", ("Off", "On", "Auto"))),
    (label("Synth_By_Midi_Text", "Synth by MIDI:"), check("Synth_By_MIDI", "Enabled")),
    (label("Global_Hybrid", "Hybrid mode:"), check("Hybrid", "Enabled")),
    (spacer_label("ID_SNAPSPACER"), check("Auto_Snapshot", "Send snapshot when the template is chosen")),
    (spacer_label("ID_SYNTHSPACER"), check("Synth_Template", "Synth template")),
    (spacer_label("ID_CATCHUPSPACER"), check("Pot_Pickup", "Pot pick-up for every pot")),
])
keyboard = page_panel("Keyboard_Panel", [
    (label("ID_KBDCHANTEXT", "Keyboard channel:"), spin("Keybaord_Midi_Channel", 1, 16)),
    (label("ID_VELCURVETEXT", "Velocity curve:"), spin("Velocity_Curve", 1, 8)),
    (label("OCTAVE_TEXT", "Octave:"), spin("Octave_Setting", -4, 4, 0)),
    (label("TRANSPOSE_TEXT", "Transpose:"), spin("Transpose", -12, 12, 0)),
    (spacer_label("ID_AFTERSPACER"), check("After_Touch", "Aftertouch")),
    (spacer_label("ID_MIDI1SPACER"), check("Enable_Midi_Port_1", "MIDI 1")),
    (spacer_label("ID_MIDI2SPACER"), check("Enable_Midi_Port_2", "MIDI 2")),
    (spacer_label("IUD_USBSPACER"), check("Enable_USB_Port", "USB 1")),
    (spacer_label("ID_USB2SPACER"), check("Enable_USB_Port_B", "USB 2")),
])


def page(title, child):
    return obj("notebookpage", None, f"<label>{escape(title)}</label>{child}")


def buttons(with_restore=True):
    # The desktop's order: the affirmative button last, at the right.
    parts = []
    if with_restore:
        parts.append(item(obj("wxButton", "Restore_Defaults", "<label>Restore Defaults</label>"),
                          "wxALIGN_CENTER_VERTICAL", 0))
    parts.append('<object class="spacer"><option>1</option><flag>wxEXPAND</flag><size>12,0</size></object>')
    parts.append(item(obj("wxButton", "wxID_CANCEL", "<label>Cancel</label>"), "wxALIGN_CENTER_VERTICAL", 0))
    parts.append(item(obj("wxButton", "wxID_OK", "<label>OK</label><default>1</default>"),
                      "wxLEFT|wxALIGN_CENTER_VERTICAL", 6))
    return obj("wxBoxSizer", None, "<orient>wxHORIZONTAL</orient>" + "".join(parts))


def dialog(name, title, children):
    body = "<orient>wxVERTICAL</orient>" + "".join(children)
    return obj("wxDialog", name, f"<title>{escape(title)}</title>"
               "<style>wxCAPTION|wxSYSTEM_MENU|wxCLOSE_BOX|wxTAB_TRAVERSAL</style>" + obj("wxBoxSizer", None, body))


panels.append(dialog("ID_TEMPLATEDIALOG", "Template settings", [
    item(obj("wxNotebook", "Template_Settings",
             page("General", general) + page("Controls", controls) + page("Keyboard", keyboard)),
         "wxALL|wxEXPAND", 12, 1),
    item(buttons(), "wxLEFT|wxRIGHT|wxBOTTOM|wxEXPAND", 12),
]))

# --- Port groups -----------------------------------------------------------------------------------------
common_group = form([
    (label(None, "Channel:"), spin("Common_Channel", 1, 16)),
    (label(None, "Ports:"), options([check("Common_Midi_Port_1", "MIDI 1"), check("Common_Midi_Port_2", "MIDI 2"),
                                     check("Common_USB_Port", "USB 1"), check("Common_USB_Port_B", "USB 2"),
                                     check("Common_USB_Port_C", "USB 3")], 2), "top"),
])
kbd_group = form([
    (label("ID_KBDCHANTEXT", "Channel:"), spin("Midi_Channel", 1, 16)),
    (None, check("As_Common_Channel", "Same channel as the common group")),
    (label(None, "Ports:"), options([check("Midi_Port_1", "MIDI 1"), check("Midi_Port_2", "MIDI 2"),
                                     check("USB_Port", "USB 1"), check("USB_Port_2", "USB 2")], 2), "top"),
    (None, check("As_Common_Ports", "Same ports as the common group")),
])
panels.append(dialog("ID_DIALOG", "MIDI port and channel groups", [
    item(static_box("Common", common_group), "wxLEFT|wxRIGHT|wxTOP|wxEXPAND", 12),
    item(obj("wxStaticBoxSizer", None, "<orient>wxVERTICAL</orient><label>Keyboard</label>"
             + item(kbd_group, "wxALL|wxEXPAND", 6)).replace(
        '<object class="wxStaticBoxSizer">',
        '<object class="wxStaticBoxSizer" name="KEYBOARD_GROUP">', 1), "wxLEFT|wxRIGHT|wxTOP|wxEXPAND", 12),
    item(buttons(), "wxALL|wxEXPAND", 12),
]))

# --- Keyboard zone ----------------------------------------------------------------------------------------
panels.append(dialog("ID_KBDZONEDIALOG", "Keyboard zone settings", [
    item(form([
        (label(None, "Top note:"), side_by_side([spin("Top_Note", 0, 127, 127), label("Top_Note_Name", "G8   ")])),
        (label(None, "Bottom note:"), side_by_side([spin("Bottom_Note", 0, 127, 0), label("Bottom_Note_Name", "C-2  ")])),
        (label(None, "Velocity offset:"), spin("Velocity_Offset", 1, 128, 3)),
        (label(None, "Transpose:"), spin("Transpose", -64, 63, 0)),
        (label("ID_MIDICHANGROUPTEXT", "Channel group:"), choice("Midi_Channel_Group")),
        (label(None, "MIDI channel:"), spin("Midi_Channel", 1, 16)),
        (label("ID_MIDIGROUPTEXT", "Port group:"), choice("Midi_Port_Group")),
        # The spacers stand in the label column of the port rows.
        (spacer_label("ID_TEXTSPACER1"), options([check("Enable_Midi_Port_1", "MIDI 1"),
                                                  check("Enable_Midi_Port_2", "MIDI 2")], 2)),
        (spacer_label("ID_TEXTSPACER2"), options([check("Enable_USB_Port", "USB 1"),
                                                  check("Enable_USB_Port_2", "USB 2")], 2)),
        (None, options([check("After_Touch", "Aftertouch"), check("Pitch_Bend", "Pitch bend"),
                        check("Mod_Wheel", "Mod wheel")], 3)),
    ]), "wxALL|wxEXPAND", 12),
    item(buttons(False), "wxLEFT|wxRIGHT|wxBOTTOM|wxEXPAND", 12),
]))

document = minidom.parseString(
    '<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">' + "".join(panels) + "</resource>")
pretty = document.documentElement.toprettyxml(indent="  ")
with open(OUT, "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
    f.write("<!-- The control edit panels and the template dialogs. Generated by tools/make_edit_panels_xrc.py. -->\n")
    f.write(pretty)
print("wrote", OUT)
