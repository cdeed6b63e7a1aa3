// What the command-line tools share: sketch files, output files that appear whole or not at
// all and never damage what they replace, one-line error texts, and small parsers and formatters.
//
// A sketch file is a file archive (ccFileArchive, magic "DISPCARC") that holds one archived
// sketch, written by operator||(ccArchive&, ccUISketch&) and nothing after it; a graphic-list
// file holds one archived graphic list instead. The tools take either where they read sketches.
#pragma once

#include <core/exception.h>
#include <dispc/color.h>
#include <dispc/dispprop.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <cstddef>
#include <exception>
#include <string>
#include <vector>

// A failure of a tool, with the one-line message to print (it names the file concerned).
class ccToolError : public ccExceptionWithString {
 public:
  using ccExceptionWithString::ccExceptionWithString;
};
// Bad command-line usage: the message says what is wrong with the arguments.
class ccToolUsageError : public ccToolError {
 public:
  using ccToolError::ccToolError;
};

// The message of any exception as one line: the message of library errors (or a description
// of their class when they carry none), newlines replaced by spaces.
std::string cfToolErrorText(const std::exception& e);

// Runs a tool's body and turns what it throws into the tools' exit codes: 0 as run returns,
// 2 for a usage error (with a pointer to --help), 1 for any other error; the error goes to
// standard error as one line "program: text".
int cfToolMain(const char* program, int (*run)(int, char**), int argc, char** argv);

// What a drawing file holds: a sketch, or the sketch of a graphic list's drawing.
struct ccToolDrawing {
  ccUISketch sketch;
  bool graphicList = false;
  // A graphic list's graphics: their class names in list order ("null" for a null handle).
  std::vector<std::string> graphicClasses;
};

// Loads the drawing file at path: a sketch file, or a graphic-list file (a file archive holding
// one archived ccGraphicList, written by operator||(ccArchive&, ccGraphicList&) and nothing after
// it), told apart by their content. A graphic list becomes the sketch of its drawing on
// listLayer. Every failure (missing or unreadable file, not an archive, neither a sketch nor a
// graphic list, truncated or malformed content, bytes after it) throws
// ccToolError("<path>: <what>").
ccToolDrawing cfToolLoadDrawing(const std::string& path, ccUITablet::Layers listLayer);
// The sketch of the drawing file at path (a graphic list drawn on the overlay layer).
ccUISketch cfToolLoadSketch(const std::string& path);
// The error for a sketch file whose content failed to load or parse with e: "<path>: <what>",
// with e's own message where it has one.
ccToolError cfToolSketchError(const std::string& path, const std::exception& e);
// Writes s as a sketch file: the archive is built in memory first, then written to a temporary
// file beside path and renamed over it, so nothing is left behind when it fails. Throws
// ccToolError("<path>: <what>").
void cfToolStoreSketch(const ccUISketch& s, const std::string& path);

// The whole file; ccToolError("<path>: <what>") when it is missing or cannot be read.
std::vector<unsigned char> cfToolReadFile(const std::string& path);

// An output file that appears whole or not at all, and never damages what the path names:
// write to tempPath(), then commit(). A symbolic link is followed and its target replaced. An
// existing regular file is replaced by renaming the temporary file over it, with the old
// file's permissions (and owner, where allowed); a file the user could not write is refused.
// A device, named pipe or socket is written to (the temporary file's bytes are copied into
// it), never replaced. The destructor removes the temporary file when commit() was not reached.
class ccToolOutputFile {
 public:
  // Checks the target and reserves a new temporary file beside it (or, for a target that is
  // not a regular file, in the temporary directory); ccToolError when it cannot.
  explicit ccToolOutputFile(const std::string& path);
  ~ccToolOutputFile();
  ccToolOutputFile(const ccToolOutputFile&) = delete;
  ccToolOutputFile& operator=(const ccToolOutputFile&) = delete;

  const std::string& path() const { return path_; }
  const std::string& tempPath() const { return temp_; }
  // Puts the temporary file's contents in place (ccToolError when it cannot).
  void commit();
  // The error to throw when writing tempPath() failed with e: its message with the temporary
  // file's name replaced by path().
  ccToolError writeError(const std::exception& e) const;

 private:
  void copyToTarget();

  std::string path_;
  std::string target_;  // path_ with symbolic links followed
  std::string temp_;
  bool writeThrough_ = false;
  bool replaced_ = false;  // an existing regular file is replaced
  unsigned mode_ = 0;      // permissions, owner and group the file gets
  unsigned owner_ = 0, group_ = 0;
  bool committed_ = false;
};

// ---- Formatting

// Shortest form of a number that reads back to the same value to 6 significant digits.
std::string cfToolNumber(double v);
// "(x, y)".
std::string cfToolPoint(double x, double y);
// Stock colours by name ("red"), other index colours as "index 17", RGB colours as "#12ABEF".
std::string cfToolColorName(const ccColor& c);
// The fields of b that differ from a, as "width 3, style dash"; "" when none do.
std::string cfToolPropsChanges(const ccGraphicProps& a, const ccGraphicProps& b);

// ---- Parsing of option values (false when malformed)

bool cfToolParseLong(const std::string& s, long& v);
bool cfToolParseDouble(const std::string& s, double& v);
// "X,Y"; a single number gives X = Y when allowSingle.
bool cfToolParsePair(const std::string& s, double& x, double& y, bool allowSingle);
// "WxH" with positive whole numbers.
bool cfToolParseSize(const std::string& s, long& w, long& h);

// The file name extension in lower case, without the dot ("" when none).
std::string cfToolExtension(const std::string& path);
