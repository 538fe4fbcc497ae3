#pragma once
// The one application object of a window-test program (made by gui_main.cpp),
// as the editor's own class: the tests build their windows from what it holds.
class CEditorApp;
CEditorApp& EditorApp();
