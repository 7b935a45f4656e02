#pragma once

namespace idr::scan {

// A batch reads its pages on threads of its own, one per core. OpenCV's
// own worker threads then only compete with them: the review pictures'
// resizing and drawing hand slices of work to workers that spin waiting for
// it while every core is busy. Called before a batch of several jobs, this
// keeps OpenCV's work on the thread that asks for it. The results are the
// same; the pictures too.
void keep_image_work_on_calling_threads();

}  // namespace idr::scan
