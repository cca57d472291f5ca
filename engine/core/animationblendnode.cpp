#include "engine/core/animationblendnode.h"

#include <OgreAnimationState.h>

namespace brix
{
AnimationBlendNode::AnimationBlendNode(Ogre::AnimationState* state) : mAnimationState(state) {}

AnimationBlendNode::~AnimationBlendNode()
{
    delete mChildA;
    delete mChildB;
}

void AnimationBlendNode::update(float weight)
{
    // The B side continues the walk in this loop rather than by recursion: chains can be long.
    AnimationBlendNode* node = this;
    float w = weight;
    while (node)
    {
        if (node->mAnimationState)
        {
            node->mAnimationState->setWeight(w);
            node->mAnimationState->setEnabled(w > 0.0f);
        }
        if (node->mChildA && node->mChildB)
        {
            node->mChildA->update(w * node->mWeightA);
            w *= 1.0f - node->mWeightA;
            node = node->mChildB;
        }
        else if (node->mChildA)
            node = node->mChildA;
        else
            node = node->mChildB;
    }
}

void AnimationBlendNode::setPhase(float phase, bool recursive)
{
    for (AnimationBlendNode* node = this; node; node = recursive ? node->mChildB : nullptr)
    {
        if (node->mAnimationState)
            node->mAnimationState->setTimePosition(node->mAnimationState->getLength() * phase);
        if (recursive && node->mChildA)
            node->mChildA->setPhase(phase, true);
    }
}

void AnimationBlendNode::disable(bool recursive)
{
    for (AnimationBlendNode* node = this; node; node = recursive ? node->mChildB : nullptr)
    {
        if (node->mAnimationState)
            node->mAnimationState->setEnabled(false);
        if (recursive && node->mChildA)
            node->mChildA->disable(true);
    }
}
} // namespace brix
