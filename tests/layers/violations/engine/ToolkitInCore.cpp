// A core file that reaches for the toolkit: the layering check must refuse it.
#include <wx/frame.h>
