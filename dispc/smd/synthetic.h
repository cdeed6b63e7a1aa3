// The edge rasterisers of synthetic drawing: one straight or circular outline piece, given in
// client coordinates, drawn into an 8-bit pel buffer.
//
// The transform maps client coordinates to the buffer's pel-centre coordinates: the pel with
// image coordinates (i, j) is at (i, j). (ccSMDGDPolyPrivate::drawSynthetic passes the buffer's
// image-from-client transform after the client transform, moved by half a pel.)
//
// Only the working window is written: the buffer's window inset by 2 pels on every side; a
// window of 4 pels or fewer across draws nothing. Pieces are clipped to it first, so pieces
// far outside cost no stepping. The piece is stepped along its major axis (x when
// |dx| >= |dy|), one pel position at a time. With fill set the two pels straddling the piece
// are blended towards grey by their share of it (the fill has already set the pels inside,
// so the blend smooths the outer edge); without fill the nearest pel is set to grey. Either
// way a written pel ends at grey or between its old value and grey. A piece whose mapped
// points are not finite draws nothing.
//
// An unbound buffer throws ccPel::UnboundWindow.
#pragma once

#include <core/pelbuffer.h>
#include <core/xform.h>
#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/lineseg.h>

// grey is the pel value (as an 8-bit pattern); fill is a flag (non-zero: blend).
void drawLinePelBuf(ccPelBuffer<unsigned char>& pb, const cc2SegmentLine& line,
                    const ccXform<2>& xform, signed char grey, signed char fill);

// The arc is taken as circular in client coordinates (as the pieces of SMD polygons are) and is
// drawn as chords no farther than an eighth of a pel from it. When given, x1, y1, x2, y2
// receive the mapped start and end points of the arc (pel-centre coordinates).
void drawArcPelBuf(ccPelBuffer<unsigned char>& pb, const cc2SegmentArc& arc,
                   const ccXform<2>& xform, signed char grey, signed char fill,
                   double* x1 = nullptr, double* y1 = nullptr, double* x2 = nullptr,
                   double* y2 = nullptr);
