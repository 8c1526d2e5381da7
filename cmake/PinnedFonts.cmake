# The fonts a verdict or a figure is taken with, whatever else the machine has: the families
# scripts/setup installs, linked into one folder under `folder`, and two fontconfig files naming
# that folder alone: bare.conf with DejaVu Sans as the default sans (a bare machine's) and
# desktop.conf with Noto Sans (most desktops'). The tests pin one of them before their main; the
# memory benchmark starts the programs it measures with desktop.conf, since every font a machine
# has adds to what Qt's font database keeps once the first text is drawn.
function(tessary_pin_fonts folder)
  set(TESSARY_FONT_FILES ${folder}/files)
  set(TESSARY_FONT_CACHE ${folder}/cache)
  set(pinned_fonts
      /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
      /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf /usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf
      /usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf /usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf
      /usr/share/fonts/truetype/noto/NotoSans-Regular.ttf /usr/share/fonts/truetype/noto/NotoSans-Bold.ttf
      /usr/share/fonts/truetype/noto/NotoSans-Italic.ttf /usr/share/fonts/truetype/noto/NotoSans-BoldItalic.ttf
      /usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf /usr/share/fonts/opentype/cantarell/Cantarell-Bold.otf)
  file(REMOVE_RECURSE ${TESSARY_FONT_FILES})
  file(MAKE_DIRECTORY ${TESSARY_FONT_FILES} ${TESSARY_FONT_CACHE})
  foreach(font IN LISTS pinned_fonts)
    if(NOT EXISTS ${font})
      message(WARNING "${font} is missing: what is measured with it fails or differs (scripts/setup installs it)")
    endif()
    get_filename_component(name ${font} NAME)
    file(CREATE_LINK ${font} ${TESSARY_FONT_FILES}/${name} SYMBOLIC)
  endforeach()
  foreach(set IN ITEMS bare desktop)
    if(set STREQUAL bare)
      set(TESSARY_DEFAULT_SANS "DejaVu Sans")
    else()
      set(TESSARY_DEFAULT_SANS "Noto Sans")
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/fonts.conf.in ${folder}/${set}.conf @ONLY)
  endforeach()
  # The cache written now, not by whichever program first draws text (it would carry the scan).
  find_program(TESSARY_FC_CACHE fc-cache)
  if(TESSARY_FC_CACHE)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env FONTCONFIG_FILE=${folder}/desktop.conf ${TESSARY_FC_CACHE}
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
endfunction()
