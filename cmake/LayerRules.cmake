# Which of our folders each library folder may include headers from, besides
# its own: the one direction of every dependency between our libraries.
#   model <- editing <- ui <- app
#   midi, plugins, report and library build on model only
#   cli (the command-line tool) uses what it links
#   loader (opens our own modules) uses nothing; midi and ui open modules with it
# A library links only libraries of these folders (checked when configuring),
# and its files include only their headers (checked before every build, and
# by the test layers.includes).
set(TQV_LAYER_FOLDERS model editing ui app midi plugins report library cli loader)
set(TQV_LAYER_USES_model "")
set(TQV_LAYER_USES_editing model)
set(TQV_LAYER_USES_ui editing model loader)
set(TQV_LAYER_USES_app ui editing model midi plugins report library loader)
set(TQV_LAYER_USES_midi model loader)
set(TQV_LAYER_USES_plugins model)
set(TQV_LAYER_USES_report model)
set(TQV_LAYER_USES_library model)
set(TQV_LAYER_USES_cli editing model midi plugins report library loader)
set(TQV_LAYER_USES_loader "")
set(TQV_LAYER_RULE "model <- editing <- ui <- app; midi, plugins, report and library build on model only; cli uses what it links; midi and ui use loader")
