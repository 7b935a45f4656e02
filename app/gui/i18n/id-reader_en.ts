<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>idr::MainWindow</name>
    <message>
        <source>no mark</source>
        <translation>no mark</translation>
    </message>
    <message>
        <source>faint or partial mark</source>
        <translation>faint or partial mark</translation>
    </message>
    <message>
        <source>a mark and a faint or partial mark</source>
        <translation>a mark and a faint or partial mark</translation>
    </message>
    <message>
        <source>two marks</source>
        <translation>two marks</translation>
    </message>
    <message>
        <source>three marks</source>
        <translation>three marks</translation>
    </message>
    <message>
        <source>four marks</source>
        <translation>four marks</translation>
    </message>
    <message>
        <source>five marks</source>
        <translation>five marks</translation>
    </message>
    <message>
        <source>six marks</source>
        <translation>six marks</translation>
    </message>
    <message>
        <source>seven marks</source>
        <translation>seven marks</translation>
    </message>
    <message>
        <source>eight marks</source>
        <translation>eight marks</translation>
    </message>
    <message>
        <source>nine marks</source>
        <translation>nine marks</translation>
    </message>
    <message>
        <source>ten marks</source>
        <translation>ten marks</translation>
    </message>
    <message>
        <source>Open scans...</source>
        <translation>Open scans...</translation>
    </message>
    <message>
        <source>Open folder...</source>
        <translation>Open folder...</translation>
    </message>
    <message>
        <source>Print blank form...</source>
        <translation>Print blank form...</translation>
    </message>
    <message>
        <source>Open scans</source>
        <translation>Open scans</translation>
    </message>
    <message>
        <source>Scans (*.png *.jpg *.jpeg *.tif *.tiff *.webp *.bmp *.heic *.heif *.avif *.pdf);;All files (*)</source>
        <translation>Scans (*.png *.jpg *.jpeg *.tif *.tiff *.webp *.bmp *.heic *.heif *.avif *.pdf);;All files (*)</translation>
    </message>
    <message>
        <source>Open a folder of scans</source>
        <translation>Open a folder of scans</translation>
    </message>
    <message>
        <source>Some scans could not be opened:</source>
        <translation>Some scans could not be opened:</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>%1 — page %2 of %3 (%4 of %5)</source>
        <translation>%1 — page %2 of %3 (%4 of %5)</translation>
    </message>
    <message>
        <source>block not found: %1</source>
        <translation>block not found: %1</translation>
    </message>
    <message>
        <source>not read: %1</source>
        <translation>not read: %1</translation>
    </message>
    <message>
        <source>column %1: %2</source>
        <translation>column %1: %2</translation>
    </message>
    <message>
        <source>review: %1</source>
        <translation>review: %1</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>ok</translation>
    </message>
    <message>
        <source>corrected: %1</source>
        <translation>corrected: %1</translation>
    </message>
    <message>
        <source>Every column holds one clear digit</source>
        <translation>Every column holds one clear digit</translation>
    </message>
    <message>
        <source>Columns to check: %1</source>
        <translation>Columns to check: %1</translation>
    </message>
    <message>
        <source>There is nothing to save: the review file lists scanned pages. Open scans first (Ctrl+O).</source>
        <translation>There is nothing to save: the review file lists scanned pages. Open scans first (Ctrl+O).</translation>
    </message>
    <message>
        <source>The review file was not saved.</source>
        <translation>The review file was not saved.</translation>
    </message>
    <message>
        <source>not saved: %1</source>
        <translation>not saved: %1</translation>
    </message>
    <message>
        <source>saved to %1</source>
        <translation>saved to %1</translation>
    </message>
    <message>
        <source>Save the IDs you corrected before closing?</source>
        <translation>Save the IDs you corrected before closing?</translation>
    </message>
    <message>
        <source>They go to %1.</source>
        <translation>They go to %1.</translation>
    </message>
    <message>
        <source>Print blank form</source>
        <translation>Print blank form</translation>
    </message>
    <message>
        <source>The form was not printed: %1</source>
        <translation>The form was not printed: %1</translation>
    </message>
    <message>
        <source>not enough memory to draw the form</source>
        <translation>not enough memory to draw the form</translation>
    </message>
    <message>
        <source>the form cannot be drawn: %1</source>
        <translation>the form cannot be drawn: %1</translation>
    </message>
    <message>
        <source>the printer could not be started</source>
        <translation>the printer could not be started</translation>
    </message>
    <message>
        <source>the page could not be finished</source>
        <translation>the page could not be finished</translation>
    </message>
    <message>
        <source>Write report...</source>
        <translation>Write report...</translation>
    </message>
    <message>
        <source>There is nothing to report: the report shows scanned pages. Open scans first (Ctrl+O).</source>
        <translation>There is nothing to report: the report shows scanned pages. Open scans first (Ctrl+O).</translation>
    </message>
    <message>
        <source>Write report</source>
        <translation>Write report</translation>
    </message>
    <message>
        <source>HTML pages (*.html *.htm);;All files (*)</source>
        <translation>HTML pages (*.html *.htm);;All files (*)</translation>
    </message>
    <message>
        <source>The report was not written.</source>
        <translation>The report was not written.</translation>
    </message>
    <message>
        <source>report not written: %1</source>
        <translation>report not written: %1</translation>
    </message>
    <message>
        <source>Reading page %1 of %2 for the report...</source>
        <translation>Reading page %1 of %2 for the report...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>report written to %1</source>
        <translation>report written to %1</translation>
    </message>
</context>
</TS>
