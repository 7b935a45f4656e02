// The libxlsxwriter functions review/xlsx_results calls for --xlsx, forwarded to
// the library loaded on first use (lazy_library.h). A function the program
// starts to call must be added here, or it does not link.

#include <xlsxwriter.h>

#include "app/lazy/lazy_library.h"

using idr::lazy::real;

extern "C" {

void format_set_bg_color(lxw_format *format, lxw_color_t color) { real<format_set_bg_color>(idr::lazy::xlsxwriter(), "format_set_bg_color")(format, color); }
void format_set_bold(lxw_format *format) { real<format_set_bold>(idr::lazy::xlsxwriter(), "format_set_bold")(format); }
void format_set_bottom(lxw_format *format, uint8_t style) { real<format_set_bottom>(idr::lazy::xlsxwriter(), "format_set_bottom")(format, style); }
void format_set_pattern(lxw_format *format, uint8_t index) { real<format_set_pattern>(idr::lazy::xlsxwriter(), "format_set_pattern")(format, index); }
char *lxw_strerror(lxw_error error_num) { return real<lxw_strerror>(idr::lazy::xlsxwriter(), "lxw_strerror")(error_num); }
lxw_format *workbook_add_format(lxw_workbook *workbook) { return real<workbook_add_format>(idr::lazy::xlsxwriter(), "workbook_add_format")(workbook); }
lxw_worksheet *workbook_add_worksheet(lxw_workbook *workbook, const char *sheetname) { return real<workbook_add_worksheet>(idr::lazy::xlsxwriter(), "workbook_add_worksheet")(workbook, sheetname); }
lxw_error workbook_close(lxw_workbook *workbook) { return real<workbook_close>(idr::lazy::xlsxwriter(), "workbook_close")(workbook); }
lxw_workbook *workbook_new_opt(const char *filename, lxw_workbook_options *options) { return real<workbook_new_opt>(idr::lazy::xlsxwriter(), "workbook_new_opt")(filename, options); }
lxw_error worksheet_autofilter(lxw_worksheet *worksheet, lxw_row_t first_row, lxw_col_t first_col, lxw_row_t last_row, lxw_col_t last_col) { return real<worksheet_autofilter>(idr::lazy::xlsxwriter(), "worksheet_autofilter")(worksheet, first_row, first_col, last_row, last_col); }
void worksheet_freeze_panes(lxw_worksheet *worksheet, lxw_row_t row, lxw_col_t col) { real<worksheet_freeze_panes>(idr::lazy::xlsxwriter(), "worksheet_freeze_panes")(worksheet, row, col); }
lxw_error worksheet_set_column(lxw_worksheet *worksheet, lxw_col_t first_col, lxw_col_t last_col, double width, lxw_format *format) { return real<worksheet_set_column>(idr::lazy::xlsxwriter(), "worksheet_set_column")(worksheet, first_col, last_col, width, format); }
lxw_error worksheet_write_blank(lxw_worksheet *worksheet, lxw_row_t row, lxw_col_t col, lxw_format *format) { return real<worksheet_write_blank>(idr::lazy::xlsxwriter(), "worksheet_write_blank")(worksheet, row, col, format); }
lxw_error worksheet_write_number(lxw_worksheet *worksheet, lxw_row_t row, lxw_col_t col, double number, lxw_format *format) { return real<worksheet_write_number>(idr::lazy::xlsxwriter(), "worksheet_write_number")(worksheet, row, col, number, format); }
lxw_error worksheet_write_string(lxw_worksheet *worksheet, lxw_row_t row, lxw_col_t col, const char *string, lxw_format *format) { return real<worksheet_write_string>(idr::lazy::xlsxwriter(), "worksheet_write_string")(worksheet, row, col, string, format); }

}  // extern "C"
