// Opening the display, said in one line when it cannot be done. Without a
// usable display Qt aborts while the application object is made, after
// several lines ending in "Reinstalling the application may fix this
// problem", which sends the operator the wrong way. While an opening is
// active, Qt's messages are held back; a fatal one prints one line naming
// the display and ends the process with status 1; once the application
// object exists, Done() lets the held messages through.
// Where the toolkit's application object cannot fail that way (Windows),
// an opening does nothing.
// Threads: window thread (main), around the making of the application object.
#pragma once

class DisplayOpening {
 public:
  explicit DisplayOpening(const char* program);
  ~DisplayOpening();  // Done(), if not called yet
  DisplayOpening(const DisplayOpening&) = delete;
  DisplayOpening& operator=(const DisplayOpening&) = delete;

  void Done();

 private:
  bool done_ = false;
};
