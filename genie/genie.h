// Our own Genie library: the calls the writer makes, with the argument lists
// of the outside library (each text followed by its length), plus a reader for
// the files it writes. The file layout is described in docs/genie-file-format.md.
#pragma once
