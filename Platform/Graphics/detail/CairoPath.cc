#include "Platform/Graphics/detail/CairoPath.h"

namespace cg::detail {

void appendPath(cairo_t* cr, const Path& path) {
  for (const Path::Element& e : path.elements()) {
    const double* v = e.v;
    switch (e.op) {
      case Path::Op::Move: cairo_move_to(cr, v[0], v[1]); break;
      case Path::Op::Line: cairo_line_to(cr, v[0], v[1]); break;
      case Path::Op::Curve: cairo_curve_to(cr, v[0], v[1], v[2], v[3], v[4], v[5]); break;
      case Path::Op::Arc: cairo_arc(cr, v[0], v[1], v[2], v[3], v[4]); break;
      case Path::Op::ArcNegative: cairo_arc_negative(cr, v[0], v[1], v[2], v[3], v[4]); break;
      case Path::Op::Close: cairo_close_path(cr); break;
    }
  }
}

}  // namespace cg::detail
