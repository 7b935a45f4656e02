<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="th" sourcelanguage="en">
<context>
    <name>idr::MainWindow</name>
    <message>
        <source>no mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>faint or partial mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a mark and a faint or partial mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>two marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>three marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>four marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>five marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>six marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>seven marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>eight marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nine marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ten marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open scans...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open folder...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print blank form...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open scans</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scans (*.png *.jpg *.jpeg *.tif *.tiff *.webp *.bmp *.pdf);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a folder of scans</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some scans could not be opened:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — page %2 of %3 (%4 of %5)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>block not found: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>column %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>review: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>corrected: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every column holds one clear digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Columns to check: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is nothing to save: the review file lists scanned pages. Open scans first (Ctrl+O).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The review file was not saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not saved: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>saved to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the IDs you corrected before closing?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>They go to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print blank form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The form was not printed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not enough memory to draw the form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the printer could not be started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the page could not be finished</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
