# plandesk_contracts: the PlanDesk COM interfaces, shared by the library that calls the component and
# the component itself. Consumers include "palisade/serviceconfig/plandesk_interfaces.h".
if(NOT TARGET plandesk_contracts)
  cmake_path(SET _plandesk_contracts_root NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/../..")
  add_library(plandesk_contracts INTERFACE)
  target_include_directories(plandesk_contracts INTERFACE $<BUILD_INTERFACE:${_plandesk_contracts_root}>)
  target_link_libraries(plandesk_contracts INTERFACE win32)
  unset(_plandesk_contracts_root)
endif()
