#pragma once

#include <QByteArray>
#include <QString>

namespace quirtle {

// Draws the furniture of a printed book (page numbers, running heads, crop marks) as a
// PDF of its own, one page per page of the book, to be laid over the printed text. The
// description is UTF-8 text, one item a line, fields separated by TAB; lengths are
// points, measured from the page's top left corner:
//
//   font  FAMILY                        the typeface of the texts that follow
//   page  WIDTH HEIGHT                  starts a new page of that size
//   text  X Y SIZE ALIGN TEXT           TEXT on the baseline Y, its left end (ALIGN l),
//                                       centre (c) or right end (r) at X
//   line  X1 Y1 X2 Y2 WIDTH             a straight line
//
// Empty lines are ignored. On success returns the PDF (fonts embedded as subsets); on a
// malformed line returns an empty array and sets `error` to name the line.
QByteArray BookSheet(const QByteArray& description, QString& error);

}  // namespace quirtle
