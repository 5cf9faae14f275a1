# The layers of the tree, held by the build: each library may use only the
# ones below it. A target that comes to link something above its layer, or
# through something else, fails the configuration, not a review.

# The targets in what `target` links, directly and through what those link.
function(tarvix_link_closure target out)
    set(seen "")
    set(queue ${target})
    while(queue)
        list(POP_FRONT queue current)
        if(current IN_LIST seen OR NOT TARGET ${current})
            continue()
        endif()
        list(APPEND seen ${current})
        get_target_property(type ${current} TYPE)
        set(links "")
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(links ${current} LINK_LIBRARIES)
        endif()
        get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
        foreach(link IN LISTS links interface)
            # $<LINK_ONLY:x> still links x; other expressions name no target of ours.
            string(REGEX REPLACE "^\\$<LINK_ONLY:([^>]*)>$" "\\1" link "${link}")
            if(link AND NOT link MATCHES "^\\$<" AND NOT link MATCHES "-NOTFOUND$")
                list(APPEND queue ${link})
            endif()
        endforeach()
    endwhile()
    list(REMOVE_ITEM seen ${target})
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails unless nothing in target's closure matches one of the patterns.
function(tarvix_layer_may_not_use target)
    tarvix_link_closure(${target} closure)
    foreach(used IN LISTS closure)
        foreach(pattern IN LISTS ARGN)
            if(used MATCHES "${pattern}")
                message(FATAL_ERROR "${target} may not use ${used}: it belongs to a layer above")
            endif()
        endforeach()
    endforeach()
endfunction()

function(tarvix_check_layers)
    # Without Qt: the helper carries a capability, and icmp/ is compiled into it.
    tarvix_layer_may_not_use(tarvix_icmp "^Qt6::" "^ping_")
    tarvix_layer_may_not_use(tarvix-icmp-helper "^Qt6::" "^ping_")
    # Qt Core only, and nothing of the contract or the widgets.
    tarvix_layer_may_not_use(ping_engine "^Qt6::Gui$" "^Qt6::Widgets$" "^ping_contract$" "^ping_component")
    # How a run is drawn and navigated, for widgets and Qt Quick alike: Qt Gui.
    tarvix_layer_may_not_use(ping_chart "^Qt6::Widgets$" "^Qt6::Quick" "^ping_contract$" "^ping_component")
    # The shipped libraries hold each layer once: the component's library the
    # widgets, on the engine's library.
    tarvix_layer_may_not_use(tarvix_ping_component "^ping_engine$" "^tarvix_icmp$")
    # The QML module: Qt Quick on the engine's library, nothing of the widgets.
    foreach(quick tarvix_quick tarvix_quickplugin)
        tarvix_layer_may_not_use(${quick} "^ping_engine$" "^Qt6::Widgets$" "^ping_contract$" "^ping_component"
                                 "^tarvix_ping_component$")
    endforeach()
    # The programs take the component as its users do: the installed library.
    foreach(program Tarvix TarvixS)
        tarvix_layer_may_not_use(${program} "^ping_component$" "^ping_engine$" "^tarvix_icmp$")
    endforeach()
endfunction()
