<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="th" sourcelanguage="en">
<context>
    <name>idr::MainWindow</name>
    <message>
        <source>no mark</source>
        <translation>ไม่มีรอยฝน</translation>
    </message>
    <message>
        <source>faint or partial mark</source>
        <translation>รอยฝนจางหรือไม่เต็มวง</translation>
    </message>
    <message>
        <source>a mark and a faint or partial mark</source>
        <translation>รอยฝนหนึ่งวงกับรอยจางหรือไม่เต็มวง</translation>
    </message>
    <message>
        <source>two marks</source>
        <translation>ฝนสองวง</translation>
    </message>
    <message>
        <source>three marks</source>
        <translation>ฝนสามวง</translation>
    </message>
    <message>
        <source>four marks</source>
        <translation>ฝนสี่วง</translation>
    </message>
    <message>
        <source>five marks</source>
        <translation>ฝนห้าวง</translation>
    </message>
    <message>
        <source>six marks</source>
        <translation>ฝนหกวง</translation>
    </message>
    <message>
        <source>seven marks</source>
        <translation>ฝนเจ็ดวง</translation>
    </message>
    <message>
        <source>eight marks</source>
        <translation>ฝนแปดวง</translation>
    </message>
    <message>
        <source>nine marks</source>
        <translation>ฝนเก้าวง</translation>
    </message>
    <message>
        <source>ten marks</source>
        <translation>ฝนสิบวง</translation>
    </message>
    <message>
        <source>Open scans...</source>
        <translation>เปิดภาพสแกน...</translation>
    </message>
    <message>
        <source>Open folder...</source>
        <translation>เปิดโฟลเดอร์...</translation>
    </message>
    <message>
        <source>Print blank form...</source>
        <translation>พิมพ์แบบฟอร์มเปล่า...</translation>
    </message>
    <message>
        <source>Open scans</source>
        <translation>เปิดภาพสแกน</translation>
    </message>
    <message>
        <source>Scans (*.png *.jpg *.jpeg *.tif *.tiff *.webp *.bmp *.heic *.heif *.avif *.pdf);;All files (*)</source>
        <translation>ภาพสแกน (*.png *.jpg *.jpeg *.tif *.tiff *.webp *.bmp *.heic *.heif *.avif *.pdf);;ทุกไฟล์ (*)</translation>
    </message>
    <message>
        <source>Open a folder of scans</source>
        <translation>เปิดโฟลเดอร์ภาพสแกน</translation>
    </message>
    <message>
        <source>Some scans could not be opened:</source>
        <translation>เปิดภาพสแกนบางไฟล์ไม่ได้:</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>สถานะ</translation>
    </message>
    <message>
        <source>%1 — page %2 of %3 (%4 of %5)</source>
        <translation>%1 — หน้า %2 จาก %3 (%4 จาก %5)</translation>
    </message>
    <message>
        <source>block not found: %1</source>
        <translation>ไม่พบช่องรหัสนักศึกษา: %1</translation>
    </message>
    <message>
        <source>not read: %1</source>
        <translation>อ่านไม่ได้: %1</translation>
    </message>
    <message>
        <source>column %1: %2</source>
        <translation>หลักที่ %1: %2</translation>
    </message>
    <message>
        <source>review: %1</source>
        <translation>ต้องตรวจ: %1</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>ถูกต้อง</translation>
    </message>
    <message>
        <source>corrected: %1</source>
        <translation>แก้ไขแล้ว: %1</translation>
    </message>
    <message>
        <source>Every column holds one clear digit</source>
        <translation>ทุกหลักมีตัวเลขที่ชัดเจนหนึ่งตัว</translation>
    </message>
    <message>
        <source>Columns to check: %1</source>
        <translation>หลักที่ต้องตรวจ: %1</translation>
    </message>
    <message>
        <source>There is nothing to save: the review file lists scanned pages. Open scans first (Ctrl+O).</source>
        <translation>ยังไม่มีอะไรให้บันทึก: ไฟล์ตรวจทานเก็บเฉพาะหน้าที่สแกน กรุณาเปิดภาพสแกนก่อน (Ctrl+O)</translation>
    </message>
    <message>
        <source>The review file was not saved.</source>
        <translation>ไม่ได้บันทึกไฟล์ตรวจทาน</translation>
    </message>
    <message>
        <source>not saved: %1</source>
        <translation>ไม่ได้บันทึก: %1</translation>
    </message>
    <message>
        <source>saved to %1</source>
        <translation>บันทึกลง %1 แล้ว</translation>
    </message>
    <message>
        <source>Save the IDs you corrected before closing?</source>
        <translation>บันทึกรหัสที่แก้ไขก่อนปิดโปรแกรมหรือไม่?</translation>
    </message>
    <message>
        <source>They go to %1.</source>
        <translation>จะบันทึกลงใน %1</translation>
    </message>
    <message>
        <source>Print blank form</source>
        <translation>พิมพ์แบบฟอร์มเปล่า</translation>
    </message>
    <message>
        <source>The form was not printed: %1</source>
        <translation>ไม่ได้พิมพ์แบบฟอร์ม: %1</translation>
    </message>
    <message>
        <source>not enough memory to draw the form</source>
        <translation>หน่วยความจำไม่พอสำหรับวาดแบบฟอร์ม</translation>
    </message>
    <message>
        <source>the form cannot be drawn: %1</source>
        <translation>วาดแบบฟอร์มไม่ได้: %1</translation>
    </message>
    <message>
        <source>the printer could not be started</source>
        <translation>เริ่มเครื่องพิมพ์ไม่ได้</translation>
    </message>
    <message>
        <source>the page could not be finished</source>
        <translation>พิมพ์หน้าให้เสร็จไม่ได้</translation>
    </message>
    <message>
        <source>Write report...</source>
        <translation>เขียนรายงาน...</translation>
    </message>
    <message>
        <source>There is nothing to report: the report shows scanned pages. Open scans first (Ctrl+O).</source>
        <translation>ยังไม่มีอะไรให้รายงาน: รายงานแสดงเฉพาะหน้าที่สแกน กรุณาเปิดภาพสแกนก่อน (Ctrl+O)</translation>
    </message>
    <message>
        <source>Write report</source>
        <translation>เขียนรายงาน</translation>
    </message>
    <message>
        <source>HTML pages (*.html *.htm);;All files (*)</source>
        <translation>หน้า HTML (*.html *.htm);;ทุกไฟล์ (*)</translation>
    </message>
    <message>
        <source>The report was not written.</source>
        <translation>ไม่ได้เขียนรายงาน</translation>
    </message>
    <message>
        <source>report not written: %1</source>
        <translation>ไม่ได้เขียนรายงาน: %1</translation>
    </message>
    <message>
        <source>Reading page %1 of %2 for the report...</source>
        <translation>กำลังอ่านหน้า %1 จาก %2 สำหรับรายงาน...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>ยกเลิก</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>ยกเลิกแล้ว</translation>
    </message>
    <message>
        <source>report written to %1</source>
        <translation>เขียนรายงานลง %1 แล้ว</translation>
    </message>
</context>
</TS>
